// The fixed start of a Word 97-2003 file information block (WordDocument stream).
#pragma once

#include "ByteReader.h"

namespace tessaly::analysis::fib {

inline constexpr std::uint16_t kWordIdent = 0xA5EC;
inline constexpr std::size_t kFlagsOffset = 0x0A;
inline constexpr std::uint16_t kEncryptedFlag = 0x0100;
inline constexpr std::uint16_t kObfuscatedFlag = 0x8000;

struct WordInfo {
    bool valid = false;
    bool encrypted = false;
    bool isTemplate = false;
};

inline WordInfo ReadFib(Bytes stream) {
    WordInfo info;
    if (stream.size() < 0x20 || ReadU16(stream, 0) != kWordIdent) return info;
    const std::uint16_t flags = ReadU16(stream, kFlagsOffset);
    info.valid = true;
    info.encrypted = (flags & kEncryptedFlag) != 0;
    info.isTemplate = (flags & 0x0001) != 0;
    return info;
}

}  // namespace tessaly::analysis::fib
