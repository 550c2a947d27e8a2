// The edits are followed from the one the Current User stream names back through each previous
// one (a visited set ends loops); every persist directory they carry is decrypted against, so old
// versions of an object are decrypted too. A persist object's length is in its own header, which
// is encrypted with it: the header is decrypted first, then the rest with the same key stream.
#include "PresentationCipher.h"

#include <map>
#include <set>

#include "EncryptionHeader.h"
#include "Rc4Keys.h"

namespace tessaly::analysis::offcrypto {
namespace {

constexpr std::uint16_t kUserEditAtom = 0x0FF5;
constexpr std::uint16_t kPersistDirectoryAtom = 0x1772;
constexpr std::uint16_t kCryptSession = 0x2F14;
constexpr std::uint32_t kPlainToken = 0xE391C05F;
constexpr std::uint32_t kEncryptedToken = 0xF3D1C4DF;
constexpr std::size_t kUserEditLength = 0x1C;
constexpr std::size_t kMaxEdits = 4096;

struct Header {
    std::uint16_t type = 0;
    std::uint32_t length = 0;
};

std::optional<Header> ReadHeader(Bytes data, std::size_t at) {
    ByteReader r(data, at);
    r.u16();
    Header h{r.u16(), r.u32()};
    if (!r.ok() || h.length > r.remaining()) return std::nullopt;
    return h;
}

void PutU32At(ByteVec& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct Edit {
    std::size_t offset;
    std::uint32_t previous;
    std::uint32_t persistDirectory;
    std::uint32_t cryptSession;  // 0 when none
    bool hasCryptSessionField;
};

std::optional<std::vector<Edit>> ReadEdits(Bytes document, std::uint32_t current) {
    std::vector<Edit> edits;
    std::set<std::uint32_t> seen;
    for (std::uint32_t at = current; edits.empty() || at != 0;) {
        if (!seen.insert(at).second || edits.size() >= kMaxEdits) return std::nullopt;
        auto header = ReadHeader(document, at);
        if (!header || header->type != kUserEditAtom || header->length < kUserEditLength) return std::nullopt;
        ByteReader r(document, at + 8);
        r.skip(8);  // last slide, versions
        Edit e{at, r.u32(), 0, 0, header->length >= kUserEditLength + 4};
        e.persistDirectory = r.u32();
        r.skip(12);  // document persist id, persist id seed, last view, unused
        if (e.hasCryptSessionField) e.cryptSession = r.u32();
        if (!r.ok()) return std::nullopt;
        edits.push_back(e);
        at = e.previous;
    }
    return edits;
}

// Persist id to offset pairs of one directory atom.
std::optional<std::vector<std::pair<std::uint32_t, std::uint32_t>>> ReadDirectory(Bytes document, std::uint32_t at) {
    auto header = ReadHeader(document, at);
    if (!header || header->type != kPersistDirectoryAtom) return std::nullopt;
    ByteReader r(document.subspan(at + 8, header->length));
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    while (r.remaining() >= 4) {
        const std::uint32_t entry = r.u32();
        const std::uint32_t first = entry & 0xFFFFF;
        const std::uint32_t count = entry >> 20;
        for (std::uint32_t k = 0; k < count; ++k) pairs.emplace_back(first + k, r.u32());
        if (!r.ok()) return std::nullopt;
    }
    return pairs;
}

}  // namespace

std::optional<PlainPresentation> DecryptPresentation(Bytes document, Bytes currentUser, std::string_view password) {
    ByteReader user(currentUser);
    user.skip(8);
    user.u32();  // size
    const std::uint32_t token = user.u32();
    const std::uint32_t currentEdit = user.u32();
    if (!user.ok() || token != kEncryptedToken) return std::nullopt;
    auto edits = ReadEdits(document, currentEdit);
    if (!edits) return std::nullopt;

    // The newest directory entry of each id is the live object.
    std::map<std::uint32_t, std::uint32_t> live;
    std::set<std::pair<std::uint32_t, std::uint32_t>> all;
    for (auto it = edits->rbegin(); it != edits->rend(); ++it) {
        auto pairs = ReadDirectory(document, it->persistDirectory);
        if (!pairs) return std::nullopt;
        for (const auto& [id, offset] : *pairs) {
            live[id] = offset;
            all.insert({id, offset});
        }
    }
    const std::uint32_t sessionId = edits->front().cryptSession;
    auto sessionAt = live.find(sessionId);
    if (sessionId == 0 || sessionAt == live.end()) return std::nullopt;
    auto session = ReadHeader(document, sessionAt->second);
    if (!session || session->type != kCryptSession) return std::nullopt;
    auto info = ReadCryptoApiHeader(document.subspan(sessionAt->second + 8, session->length));
    auto keys = info ? Rc4Keys::ForCryptoApi(*info, password) : std::nullopt;
    if (!keys) return std::nullopt;

    PlainPresentation plain{ByteVec(document.begin(), document.end()), ByteVec(currentUser.begin(), currentUser.end())};
    std::set<std::uint32_t> done;
    for (const auto& [id, offset] : all) {
        if (offset == sessionAt->second || !done.insert(offset).second) continue;
        if (offset > plain.document.size() || plain.document.size() - offset < 8) return std::nullopt;
        crypto::Rc4 cipher = keys->CipherFor(id);
        std::span<std::uint8_t> object(plain.document.data() + offset, plain.document.size() - offset);
        cipher.Apply(object.first(8));
        auto header = ReadHeader(plain.document, offset);
        if (!header) return std::nullopt;
        cipher.Apply(object.subspan(8, header->length));
    }
    PutU32At(plain.currentUser, 12, kPlainToken);
    for (const Edit& e : *edits)
        if (e.hasCryptSessionField) PutU32At(plain.document, e.offset + 8 + kUserEditLength, 0);
    return plain;
}

}  // namespace tessaly::analysis::offcrypto
