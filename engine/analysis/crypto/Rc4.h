// The RC4 stream cipher: Office's binary encryption (plain and CryptoAPI) for .xls, .doc and .ppt.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tessaly::analysis::crypto {

class Rc4 {
public:
    explicit Rc4(std::span<const std::uint8_t> key);
    // XORs the next key-stream bytes into `data` (encrypting and decrypting are the same).
    void Apply(std::span<std::uint8_t> data);
    void Skip(std::size_t count);
    std::uint8_t Next();

private:
    std::array<std::uint8_t, 256> m_s{};
    std::uint8_t m_i = 0, m_j = 0;
};

}  // namespace tessaly::analysis::crypto
