// UTF-8 bytes and the hex-UTF-8 text form used on the engine link and in update messages.
#include <windows.h>

#include "modCommon.h"

#include "FaultLog.h"

namespace tessaly {
namespace {

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// Reads leading hex digits of a pair, skipping blanks, tabs and line feeds and stopping at any
// other character, so that a trailing CR LF pair reads as 0.
unsigned char ReadHexPair(std::wstring_view pair) {
    unsigned value = 0;
    for (wchar_t c : pair) {
        if (c == L' ' || c == L'\t' || c == L'\n') continue;
        const int digit = HexDigitValue(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<unsigned char>(value & 0xFF);
}

}  // namespace

ByteSequence TextToUtf8Bytes(std::wstring_view text) {
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring_view::npos) text = text.substr(0, nul);
    if (text.empty()) return {};
    const int n = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    ByteSequence bytes(static_cast<size_t>(size));
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), n, reinterpret_cast<char*>(bytes.data()), size, nullptr, nullptr);
    return bytes;
}

std::wstring Utf8BytesToText(const ByteSequence& bytes) {
    size_t length = 0;
    while (length < bytes.size() && bytes[length] != 0) ++length;
    if (length == 0) return {};
    const auto* data = reinterpret_cast<const char*>(bytes.data());
    const int n = static_cast<int>(length);
    const int count = ::MultiByteToWideChar(CP_UTF8, 0, data, n, nullptr, 0);
    if (count <= 0) return {};
    std::wstring text(static_cast<size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, data, n, text.data(), count);
    return text;
}

std::wstring BytesToHex(const ByteSequence& bytes) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

std::wstring TextToHex(std::wstring_view text) {
    try {
        if (text.empty()) return {};
        return BytesToHex(TextToUtf8Bytes(text));
    } catch (...) {
        LogCaughtFault(L"TextToHex");
        return {};
    }
}

bool IsHexString(std::wstring_view text) { return !text.empty() && text.size() % 2 == 0; }

ByteSequence HexToBytes(std::wstring_view text) {
    if (text.empty()) return {};
    ByteSequence bytes(text.size() / 2 + 1, 0);
    // The last byte stays 0: it ends the text for Utf8BytesToText.
    for (size_t i = 0; i + 1 < bytes.size(); ++i) bytes[i] = ReadHexPair(text.substr(i * 2, 2));
    return bytes;
}

std::wstring HexToText(std::wstring_view text) {
    try {
        if (!IsHexString(text)) return {};
        std::wstring decoded = Utf8BytesToText(HexToBytes(text));
        std::erase(decoded, L'\0');
        return decoded;
    } catch (...) {
        LogCaughtFault(L"HexToText");
        return {};
    }
}

}  // namespace tessaly
