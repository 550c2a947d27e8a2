// Conversions between the program's UTF-16 text and the byte forms used at file and link
// boundaries: UTF-8 and the system code page.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

std::string WideToUtf8(std::wstring_view text);
// Ill-formed sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view bytes);
// System (ANSI) code page; characters it lacks become the code page's default character.
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view bytes);
// True when the text survives a trip through the system code page unchanged.
bool FitsAnsiCodePage(std::wstring_view text);

std::wstring ToLowerText(std::wstring_view text);
std::wstring ToUpperText(std::wstring_view text);
// Case-insensitive comparison by lower-casing both sides, as the programs compare names and paths.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix);
std::wstring TrimSpaces(std::wstring_view text);

}  // namespace tessaly
