// The fixed start of a Word file information block (WordDocument stream): Word 97-2003, and Word
// 6.0/95, whose header starts the same way with its own identifier and version numbers.
#pragma once

#include "ByteReader.h"

namespace tessaly::analysis::fib {

inline constexpr std::uint16_t kWordIdent = 0xA5EC;
inline constexpr Field<std::uint16_t> kIdent{0x00};
inline constexpr Field<std::uint16_t> kNFib{0x02};
inline constexpr Field<std::uint16_t> kFlags{0x0A};
inline constexpr std::size_t kMinSize = 0x20;
inline constexpr std::uint16_t kTemplateFlag = 0x0001;
inline constexpr std::uint16_t kEncryptedFlag = 0x0100;
inline constexpr std::uint16_t kObfuscatedFlag = 0x8000;

// Word 6.0 writes nFib 101, Word 95 104; the identifier differs between language editions.
inline constexpr std::uint16_t kFirstWord6Fib = 101, kLastWord6Fib = 105;
inline bool IsWord6Ident(std::uint16_t ident) { return ident == 0xA5DC || (ident >= 0xA697 && ident <= 0xA699); }

struct WordInfo {
    bool valid = false;
    bool encrypted = false;
    bool isTemplate = false;
    bool word6 = false;  // Word 6.0/95: macros are WordBasic, kept in this stream
};

inline WordInfo ReadFib(Bytes stream) {
    WordInfo info;
    ByteReader r(stream);
    const std::uint16_t ident = r.get(kIdent);
    const std::uint16_t nFib = r.get(kNFib);
    const std::uint16_t flags = r.get(kFlags);
    if (!r.ok() || stream.size() < kMinSize) return info;
    info.word6 = IsWord6Ident(ident) && nFib >= kFirstWord6Fib && nFib <= kLastWord6Fib;
    if (ident != kWordIdent && !info.word6) return info;
    info.valid = true;
    info.encrypted = (flags & kEncryptedFlag) != 0;
    info.isTemplate = (flags & kTemplateFlag) != 0;
    return info;
}

}  // namespace tessaly::analysis::fib
