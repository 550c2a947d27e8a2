// Office binary RC4: H0 = MD5(password), H1 = MD5(16 x (first 5 bytes of H0 + salt)), and the key of
// block b is MD5(first 5 bytes of H1 + b). CryptoAPI RC4: H0 = SHA-1(salt + password), the key of
// block b is SHA-1(H0 + b) cut to the key size, a 40-bit key padded with zeros to 128 bits. The
// verifier and its hash are decrypted with block 0's key as one stream.
#include "Rc4Keys.h"

#include <algorithm>

#include "crypto/Hash.h"

namespace tessaly::analysis::offcrypto {
namespace {

ByteVec BlockBytes(std::uint32_t block) {
    ByteVec b;
    PutU32(b, block);
    return b;
}

bool Verifies(const Rc4Keys& keys, const ByteVec& encryptedVerifier, const ByteVec& encryptedHash, crypto::HashKind hash) {
    crypto::Rc4 cipher = keys.CipherFor(0);
    ByteVec verifier = encryptedVerifier;
    ByteVec verifierHash = encryptedHash;
    cipher.Apply(verifier);
    cipher.Apply(verifierHash);
    const ByteVec expected = crypto::Digest(hash, {verifier});
    return verifierHash.size() >= expected.size() && std::equal(expected.begin(), expected.end(), verifierHash.begin());
}

}  // namespace

std::optional<Rc4Keys> Rc4Keys::ForBinaryRc4(const Rc4Header& header, std::string_view password) {
    const ByteVec h0 = crypto::Digest(crypto::HashKind::kMd5, {PasswordBytes(password)});
    ByteVec buffer;
    for (int i = 0; i < 16; ++i) {
        buffer.insert(buffer.end(), h0.begin(), h0.begin() + 5);
        buffer.insert(buffer.end(), header.salt.begin(), header.salt.end());
    }
    ByteVec h1 = crypto::Digest(crypto::HashKind::kMd5, {buffer});
    h1.resize(5);
    Rc4Keys keys(Kind::kBinary, std::move(h1), 16);
    if (!Verifies(keys, header.encryptedVerifier, header.encryptedVerifierHash, crypto::HashKind::kMd5)) return std::nullopt;
    return keys;
}

std::optional<Rc4Keys> Rc4Keys::ForCryptoApi(const CryptoApiHeader& header, std::string_view password) {
    if (header.algId != kAlgRc4 && header.algId != 0) return std::nullopt;
    const std::uint32_t bits = header.keyBits == 0 ? 40 : header.keyBits;
    if (bits < 40 || bits > 128 || bits % 8 != 0) return std::nullopt;
    ByteVec h0 = crypto::Digest(crypto::HashKind::kSha1, {header.salt, PasswordBytes(password)});
    Rc4Keys keys(Kind::kCryptoApi, std::move(h0), bits / 8);
    if (!Verifies(keys, header.encryptedVerifier, header.encryptedVerifierHash, crypto::HashKind::kSha1)) return std::nullopt;
    return keys;
}

ByteVec Rc4Keys::KeyFor(std::uint32_t block) const {
    const crypto::HashKind hash = m_kind == Kind::kBinary ? crypto::HashKind::kMd5 : crypto::HashKind::kSha1;
    ByteVec key = crypto::Digest(hash, {m_base, BlockBytes(block)});
    if (m_kind == Kind::kBinary) return key;
    key.resize(m_keyBytes);
    if (m_keyBytes == 5) key.resize(16, 0);
    return key;
}

crypto::Rc4 Rc4Keys::CipherFor(std::uint32_t block) const { return crypto::Rc4(KeyFor(block)); }

}  // namespace tessaly::analysis::offcrypto
