// AES (FIPS 197) with 128-, 192- and 256-bit keys, and the two modes Office uses: ECB for
// ECMA-376 Standard encryption, CBC for Agile encryption. No padding: callers pass whole blocks.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tessaly::analysis::crypto {

class Aes {
public:
    static constexpr std::size_t kBlockSize = 16;
    using Block = std::array<std::uint8_t, kBlockSize>;

    // Valid keys are 16, 24 or 32 bytes; ok() is false for any other length.
    explicit Aes(std::span<const std::uint8_t> key);
    [[nodiscard]] bool ok() const { return m_rounds != 0; }

    void EncryptBlock(std::span<std::uint8_t, kBlockSize> block) const;
    void DecryptBlock(std::span<std::uint8_t, kBlockSize> block) const;

    // In place over whole blocks; false when the data is not a whole number of blocks.
    bool DecryptEcb(std::span<std::uint8_t> data) const;
    bool EncryptEcb(std::span<std::uint8_t> data) const;
    bool DecryptCbc(std::span<std::uint8_t> data, std::span<const std::uint8_t, kBlockSize> iv) const;
    bool EncryptCbc(std::span<std::uint8_t> data, std::span<const std::uint8_t, kBlockSize> iv) const;

private:
    bool EachBlock(std::span<std::uint8_t> data, void (Aes::*transform)(std::span<std::uint8_t, kBlockSize>) const) const;
    std::array<std::uint8_t, 16 * 15> m_roundKeys{};
    int m_rounds = 0;
};

}  // namespace tessaly::analysis::crypto
