// UTF-16 <-> UTF-8 / code page conversions through the platform's converters.
#include "TextConvert.h"

#include <windows.h>

namespace tessaly {
namespace {

std::string WideToBytes(UINT codePage, std::wstring_view text, BOOL* usedDefault) {
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(codePage, 0, text.data(), n, nullptr, 0, nullptr, usedDefault);
    if (size <= 0) return {};
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), n, out.data(), size, nullptr, usedDefault);
    return out;
}

std::wstring BytesToWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = static_cast<int>(bytes.size());
    const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(), n, nullptr, 0);
    if (size <= 0) return {};
    std::wstring out(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), n, out.data(), size);
    return out;
}

}  // namespace

std::string WideToUtf8(std::wstring_view text) { return WideToBytes(CP_UTF8, text, nullptr); }
std::wstring Utf8ToWide(std::string_view bytes) { return BytesToWide(CP_UTF8, bytes); }
std::string WideToAnsi(std::wstring_view text) { return WideToBytes(CP_ACP, text, nullptr); }
std::wstring AnsiToWide(std::string_view bytes) { return BytesToWide(CP_ACP, bytes); }

bool FitsAnsiCodePage(std::wstring_view text) {
    return AnsiToWide(WideToAnsi(text)) == text;
}

std::wstring ToLowerText(std::wstring_view text) {
    std::wstring out(text);
    if (!out.empty()) ::CharLowerBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

std::wstring ToUpperText(std::wstring_view text) {
    std::wstring out(text);
    if (!out.empty()) ::CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && ToLowerText(a) == ToLowerText(b);
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::wstring TrimSpaces(std::wstring_view text) {
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    const auto last = text.find_last_not_of(L' ');
    return std::wstring(text.substr(first, last - first + 1));
}

}  // namespace tessaly
