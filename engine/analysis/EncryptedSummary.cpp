// Layout: an encrypted header (directory offset, directory size), the encrypted streams, then the
// encrypted directory: a count and, per entry, offset, size, block, name length, flags, a reserved
// word and the NUL-terminated UTF-16 name. The header and the directory each start block 0's key
// stream afresh.
#include "EncryptedSummary.h"

#include "Limits.h"

namespace tessaly::analysis::offcrypto {
namespace {

ByteVec Decrypted(Bytes data, const Rc4Keys& keys) {
    ByteVec out(data.begin(), data.end());
    keys.CipherFor(0).Apply(out);
    return out;
}

}  // namespace

std::optional<std::vector<EncryptedEntry>> ListEncryptedSummary(Bytes stream, const Rc4Keys& keys) {
    if (stream.size() < 8) return std::nullopt;
    ByteVec header = Decrypted(stream.first(8), keys);
    ByteReader h(header);
    const std::uint32_t offset = h.u32();
    const std::uint32_t size = h.u32();
    // The directory size counts its entry count too.
    if (offset > stream.size() || size < 4 || size > stream.size() - offset) return std::nullopt;
    ByteVec directory = Decrypted(stream.subspan(offset, size), keys);
    ByteReader r(directory);
    const std::uint32_t count = r.u32();
    if (!r.ok() || count > limits::kMaxEncryptedSummaryEntries) return std::nullopt;
    std::vector<EncryptedEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        r.skip(10);  // offset, size, block
        const std::uint8_t nameLength = r.u8();
        const std::uint8_t flags = r.u8();
        r.skip(4);
        EncryptedEntry e;
        e.isStream = (flags & 1) != 0;
        for (std::uint8_t k = 0; k < nameLength; ++k) {
            const std::uint16_t c = r.u16();
            if (c < 0x80) e.name.push_back(static_cast<char>(c));
            else e.name.push_back('?');
        }
        r.skip(2);  // terminating NUL
        if (!r.ok()) return std::nullopt;
        entries.push_back(std::move(e));
    }
    return entries;
}

bool HoldsOnlyProperties(const std::vector<EncryptedEntry>& entries) {
    for (const EncryptedEntry& e : entries)
        if (!e.isStream || (e.name != "\x05SummaryInformation" && e.name != "\x05" "DocumentSummaryInformation")) return false;
    return true;
}

}  // namespace tessaly::analysis::offcrypto
