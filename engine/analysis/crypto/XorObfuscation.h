// Office's binary XOR obfuscation, method 1 (Excel): the 16-bit key and verifier that FILEPASS
// stores, and the 16-byte array the record data is obfuscated with.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tessaly::analysis::crypto {

// `password` is the single-byte form of the password, at most 15 characters.
std::uint16_t XorPasswordVerifier(std::string_view password);
std::uint16_t XorKey(std::string_view password);
std::array<std::uint8_t, 16> XorArray(std::string_view password);

// One byte at a position of the obfuscation array.
inline std::uint8_t XorDecryptByte(std::uint8_t value, std::uint8_t arrayByte) {
    const auto v = static_cast<std::uint8_t>(value ^ arrayByte);
    return static_cast<std::uint8_t>((v >> 5) | (v << 3));
}
inline std::uint8_t XorEncryptByte(std::uint8_t value, std::uint8_t arrayByte) {
    return static_cast<std::uint8_t>(static_cast<std::uint8_t>((value << 5) | (value >> 3)) ^ arrayByte);
}

}  // namespace tessaly::analysis::crypto
