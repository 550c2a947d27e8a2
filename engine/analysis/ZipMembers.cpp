// Members checked against the directory that names them. A local header that says something else
// than the directory is how a package shows one part to a reader that trusts the directory (Office,
// us) and another to one that walks the local headers; members that share bytes hide one part in
// another. Both are damage, as is data that fails its CRC-32, whether or not the part can hold macros.
#include <algorithm>

#include "Limits.h"
#include "Zip.h"
#include "ZlibStream.h"

namespace tessaly::analysis::zip {
namespace {

constexpr std::size_t kCheckBuffer = 64u << 10;

// A local field agrees with the directory when equal; with a data descriptor (sizes and CRC-32
// after the data) it may also be left 0.
bool Agrees(std::uint64_t local, std::uint64_t central, bool described) { return local == central || (described && local == 0); }

// What is wrong with the member's local header, if anything; sets where its data starts.
std::optional<std::string> LocalHeaderFault(Bytes data, Entry& e) {
    const std::size_t at = static_cast<std::size_t>(e.localOffset);
    ByteReader r(data);
    if (r.get(local::kSignatureField, at) != local::kSignature) return "bad local header";
    const std::uint16_t flags = r.get(local::kFlags, at);
    const std::uint16_t method = r.get(local::kMethod, at);
    const std::uint32_t crc = r.get(local::kCrc, at);
    std::uint64_t compressed = r.get(local::kCompressedSize, at);
    std::uint64_t uncompressed = r.get(local::kUncompressedSize, at);
    const std::uint16_t nameLength = r.get(local::kNameLength, at);
    const std::uint16_t extraLength = r.get(local::kExtraLength, at);
    ByteReader tail(data, at + local::kSize);
    const std::string name = tail.text(nameLength);
    const Bytes extra = tail.bytes(extraLength);
    if (!r.ok() || !tail.ok()) return "truncated local header";
    if (name != e.name) return "local header names " + name;
    if (method != e.method || (flags & kFlagEncrypted) != (e.flags & kFlagEncrypted)) return "local header disagrees with the directory";
    ApplyZip64Extra(extra, {&uncompressed, &compressed});
    const bool described = (flags & kFlagDataDescriptor) != 0;
    if (!Agrees(crc, e.crc, described) || !Agrees(compressed, e.compressedSize, described) ||
        !Agrees(uncompressed, e.uncompressedSize, described))
        return "local header gives other sizes than the directory";
    e.dataOffset = tail.pos();
    if (e.compressedSize > data.size() - e.dataOffset) return "entry data out of range";
    return std::nullopt;
}

}  // namespace

void Archive::CheckMembers(std::uint64_t directoryOffset, std::uint64_t directorySize) {
    struct Span {
        std::uint64_t begin, end;
        std::size_t member;  // m_entries.size() for the directory itself
    };
    std::vector<Span> spans{{directoryOffset, directoryOffset + directorySize, m_entries.size()}};
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        Entry& e = m_entries[i];
        if (auto fault = LocalHeaderFault(m_data, e)) {
            e.dataOffset = 0;
            m_damage.push_back(e.name + ": " + *fault);
            continue;
        }
        spans.push_back({e.localOffset, e.dataOffset + e.compressedSize, i});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    auto nameOf = [&](const Span& s) { return s.member < m_entries.size() ? m_entries[s.member].name : std::string("the directory"); };
    for (std::size_t k = 1; k < spans.size(); ++k)
        if (spans[k].begin < spans[k - 1].end) m_damage.push_back(nameOf(spans[k]) + ": shares bytes with " + nameOf(spans[k - 1]));
}

std::optional<std::string> Archive::RefuseBeforeInflating(const Entry& e) const {
    if (e.encrypted()) return "encrypted entry";
    if (e.dataOffset == 0) return "bad local header";
    if (e.uncompressedSize > std::max<std::uint64_t>(e.compressedSize, 1024) * limits::kMaxZipRatio)
        return "entry beyond decompression limits";
    if (e.method == kMethodStored && e.compressedSize != e.uncompressedSize) return "stored size mismatch";
    if (e.method != kMethodStored && e.method != kMethodDeflated) return "unsupported compression method";
    if (m_budget && !m_budget->ChargeRead(e.compressedSize)) return "too much work to read the package";
    return std::nullopt;
}

bool Archive::Check(std::size_t index, std::string* error) const {
    auto fail = [&](std::string reason) {
        if (error) *error = std::move(reason);
        return false;
    };
    if (index >= m_entries.size()) return fail("no such entry");
    const Entry& e = m_entries[index];
    if (auto refused = RefuseBeforeInflating(e)) return fail(*refused);
    const Bytes packed = m_data.subspan(static_cast<std::size_t>(e.dataOffset), static_cast<std::size_t>(e.compressedSize));
    if (e.method == kMethodStored) {
        if (crc32_z(0L, packed.data(), packed.size()) != e.crc) return fail("CRC mismatch");
        return true;
    }
    InflateStream zs(-MAX_WBITS);
    if (!zs.ok()) return fail("inflate unavailable");
    ByteVec buffer(kCheckBuffer);
    zs->next_in = const_cast<Bytef*>(packed.data());
    zs->avail_in = static_cast<uInt>(packed.size());
    uLong crc = crc32(0L, nullptr, 0);
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs->next_out = buffer.data();
        zs->avail_out = static_cast<uInt>(buffer.size());
        rc = inflate(zs.get(), Z_NO_FLUSH);
        const std::size_t produced = buffer.size() - zs->avail_out;
        if (zs->total_out > e.uncompressedSize) return fail("bad deflate data");
        if (m_budget && !m_budget->ChargeChecked(produced)) return fail("too much work to read the package");
        crc = crc32_z(crc, buffer.data(), produced);
    }
    if (rc != Z_STREAM_END || zs->total_out != e.uncompressedSize) return fail("bad deflate data");
    if (crc != e.crc) return fail("CRC mismatch");
    return true;
}

}  // namespace tessaly::analysis::zip
