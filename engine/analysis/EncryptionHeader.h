// The binary encryption descriptions of Office documents: the RC4 header of .xls/.doc (version
// 1.1) and the EncryptionHeader + EncryptionVerifier pair that CryptoAPI RC4 and ECMA-376 Standard
// encryption share. Read with the checked reader; any field out of range fails the read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ByteReader.h"

namespace tessaly::analysis::offcrypto {

// Version words that open every encryption description.
struct EncryptionVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
};

// Office binary RC4 (version 1.1): salt, encrypted verifier and its encrypted MD5, 16 bytes each.
inline constexpr std::size_t kRc4HeaderSize = 4 + 3 * 16;  // with the version words
struct Rc4Header {
    ByteVec salt, encryptedVerifier, encryptedVerifierHash;
};

// CryptoAPI RC4 (versions 2-4 .2) and Standard AES (3-4 .2).
struct CryptoApiHeader {
    EncryptionVersion version;
    std::uint32_t flags = 0;
    std::uint32_t algId = 0;
    std::uint32_t algIdHash = 0;
    std::uint32_t keyBits = 0;
    ByteVec salt;
    ByteVec encryptedVerifier;
    std::uint32_t verifierHashSize = 0;
    ByteVec encryptedVerifierHash;
    // The bytes the header was read from, kept so a rewriter can copy them unchanged.
    ByteVec raw;
};

inline constexpr std::uint32_t kAlgRc4 = 0x6801;
inline constexpr std::uint32_t kAlgAes128 = 0x660E;
inline constexpr std::uint32_t kAlgAes192 = 0x660F;
inline constexpr std::uint32_t kAlgAes256 = 0x6610;
inline constexpr std::uint32_t kFlagCryptoApi = 0x04;
inline constexpr std::uint32_t kFlagDocProps = 0x08;
inline constexpr std::uint32_t kFlagAes = 0x20;

std::optional<EncryptionVersion> ReadVersion(Bytes data);
// `data` starts at the version words.
std::optional<Rc4Header> ReadRc4Header(Bytes data);
std::optional<CryptoApiHeader> ReadCryptoApiHeader(Bytes data);

// Office hashes passwords as UTF-16LE; the passwords this engine tries are ASCII.
ByteVec PasswordBytes(std::string_view password);

}  // namespace tessaly::analysis::offcrypto
