// The analysis's one ASCII case fold and one UTF-16/UTF-8 conversion. Format names (streams,
// parts, records) compare without case in ASCII only, independent of any locale.
#pragma once

#include <string>
#include <string_view>

#include "ByteReader.h"

namespace tessaly::analysis {

template <typename C>
constexpr C AsciiUpper(C c) {
    return (c >= C('a') && c <= C('z')) ? static_cast<C>(c - C('a') + C('A')) : c;
}
template <typename C>
constexpr C AsciiLower(C c) {
    return (c >= C('A') && c <= C('Z')) ? static_cast<C>(c - C('A') + C('a')) : c;
}
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Little-endian UTF-16 to UTF-8. A lone surrogate keeps its own three-byte form, so a name read
// and written back by the cleaner comes out exactly as it was.
std::string Utf16LeToUtf8(Bytes raw);
std::string Utf16ToUtf8(std::u16string_view text);
// The inverse, including that three-byte form of lone surrogates; a malformed byte ends the text.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace tessaly::analysis
