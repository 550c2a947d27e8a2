// Layouts: version (2+2), then for RC4 three 16-byte fields; for CryptoAPI/Standard the flags,
// the header size, the header (flags, size extra, algorithm, hash algorithm, key size, provider
// type, two reserved words, provider name) and the verifier (salt size, salt, verifier, hash size,
// hash).
#include "EncryptionHeader.h"

#include "Limits.h"

namespace tessaly::analysis::offcrypto {
namespace {

constexpr std::size_t kFixedHeaderBytes = 32;

ByteVec Take(ByteReader& r, std::size_t n) {
    Bytes b = r.bytes(n);
    return ByteVec(b.begin(), b.end());
}

}  // namespace

std::optional<EncryptionVersion> ReadVersion(Bytes data) {
    ByteReader r(data);
    EncryptionVersion v{r.u16(), r.u16()};
    if (!r.ok()) return std::nullopt;
    return v;
}

std::optional<Rc4Header> ReadRc4Header(Bytes data) {
    ByteReader r(data);
    if (r.u16() != 1 || r.u16() != 1) return std::nullopt;
    Rc4Header h;
    h.salt = Take(r, 16);
    h.encryptedVerifier = Take(r, 16);
    h.encryptedVerifierHash = Take(r, 16);
    if (!r.ok()) return std::nullopt;
    return h;
}

std::optional<CryptoApiHeader> ReadCryptoApiHeader(Bytes data) {
    ByteReader r(data);
    CryptoApiHeader h;
    h.version = {r.u16(), r.u16()};
    h.flags = r.u32();
    const std::uint32_t headerSize = r.u32();
    if (!r.ok() || headerSize < kFixedHeaderBytes || headerSize > limits::kMaxEncryptionHeaderBytes) return std::nullopt;
    ByteReader header(r.bytes(headerSize));
    header.u32();  // flags again
    header.u32();  // size extra
    h.algId = header.u32();
    h.algIdHash = header.u32();
    h.keyBits = header.u32();
    const std::uint32_t saltSize = r.u32();
    if (!r.ok() || !header.ok() || saltSize != 16) return std::nullopt;
    h.salt = Take(r, saltSize);
    h.encryptedVerifier = Take(r, 16);
    h.verifierHashSize = r.u32();
    // RC4 stores the hash at its own size; AES pads it to whole blocks.
    const std::size_t stored = h.algId == kAlgRc4 ? h.verifierHashSize : (h.verifierHashSize + 15) / 16 * 16;
    if (!r.ok() || h.verifierHashSize == 0 || h.verifierHashSize > 64) return std::nullopt;
    h.encryptedVerifierHash = Take(r, stored);
    if (!r.ok()) return std::nullopt;
    h.raw.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(r.pos()));
    return h;
}

ByteVec PasswordBytes(std::string_view password) {
    ByteVec out;
    out.reserve(password.size() * 2);
    for (char c : password) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

}  // namespace tessaly::analysis::offcrypto
