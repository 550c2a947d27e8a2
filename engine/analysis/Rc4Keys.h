// The RC4 keys of Office's binary documents: one key per block number, derived from the password
// with MD5 (Office binary RC4) or SHA-1 (CryptoAPI RC4). Made only when the password verifies.
#pragma once

#include <optional>
#include <string_view>

#include "EncryptionHeader.h"
#include "crypto/Rc4.h"

namespace tessaly::analysis::offcrypto {

class Rc4Keys {
public:
    static std::optional<Rc4Keys> ForBinaryRc4(const Rc4Header& header, std::string_view password);
    static std::optional<Rc4Keys> ForCryptoApi(const CryptoApiHeader& header, std::string_view password);

    [[nodiscard]] crypto::Rc4 CipherFor(std::uint32_t block) const;

private:
    enum class Kind { kBinary, kCryptoApi };
    Rc4Keys(Kind kind, ByteVec base, std::size_t keyBytes) : m_kind(kind), m_base(std::move(base)), m_keyBytes(keyBytes) {}
    [[nodiscard]] ByteVec KeyFor(std::uint32_t block) const;

    Kind m_kind;
    ByteVec m_base;          // the password hash every block key is derived from
    std::size_t m_keyBytes;  // CryptoAPI key length; binary RC4 keys are always 16 bytes
};

// Applies the key stream of the documents that rekey every `blockSize` bytes of a stream: the byte
// at stream position p is XORed with byte p % blockSize of block p / blockSize's key stream, for
// the positions `encrypted` says are encrypted (the others only advance the stream).
template <typename IsEncrypted>
void ApplyBlockStream(const Rc4Keys& keys, std::size_t blockSize, std::span<std::uint8_t> stream, IsEncrypted&& encrypted) {
    for (std::size_t start = 0; start < stream.size(); start += blockSize) {
        crypto::Rc4 cipher = keys.CipherFor(static_cast<std::uint32_t>(start / blockSize));
        const std::size_t end = std::min(stream.size(), start + blockSize);
        for (std::size_t p = start; p < end; ++p) {
            const std::uint8_t k = cipher.Next();
            if (encrypted(p)) stream[p] ^= k;
        }
    }
}

}  // namespace tessaly::analysis::offcrypto
