// Index lines of the quarantine and the file that holds them.
#include "ClsQuarantineIndex.h"

#include "DoEvents.h"
#include "TextConvert.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <charconv>

namespace tessaly::quarantine {
namespace {

constexpr std::wstring_view kSeparator = L"::";
constexpr wchar_t kHex[] = L"0123456789ABCDEF";

bool IsTrimmedBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Number of UTF-16 units of the character starting at i (2 for a surrogate pair).
std::size_t CharLength(std::wstring_view text, std::size_t i) {
    if (i + 1 < text.size() && IS_HIGH_SURROGATE(text[i]) && IS_LOW_SURROGATE(text[i + 1])) return 2;
    return 1;
}

bool CharFitsCodePage(std::wstring_view ch) {
    if (ch.size() == 1 && ch[0] < 0x80) return true;
    return FitsAnsiCodePage(ch);
}

// Which units of the path the escaped form must replace.
std::vector<bool> UnitsToEscape(std::wstring_view path) {
    std::vector<bool> escape(path.size(), false);
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t n = CharLength(path, i);
        const wchar_t c = path[i];
        bool bad = c < 0x20 || c == 0x7F || !CharFitsCodePage(path.substr(i, n));
        if (c == L':' && i + 1 < path.size() && path[i + 1] == L':') bad = true;
        for (std::size_t k = 0; k < n; ++k) escape[i + k] = bad;
        i += n;
    }
    // Blanks at the end would be trimmed away with the line.
    for (std::size_t i = path.size(); i > 0 && IsTrimmedBlank(path[i - 1]); --i) escape[i - 1] = true;
    return escape;
}

void AppendEscape(std::wstring& out, wchar_t unit) {
    out += L"%u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0x0F];
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

std::vector<std::wstring_view> SplitAll(std::wstring_view text) {
    std::vector<std::wstring_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(kSeparator, start);
        if (at == std::wstring_view::npos) break;
        parts.push_back(text.substr(start, at - start));
        start = at + kSeparator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Size field: the number, and whether it carries the escaped-path marker (a redundant leading 0).
std::int64_t ParseSize(std::wstring_view text, bool& escapedMarker) {
    escapedMarker = false;
    std::string ascii;
    for (wchar_t c : text) {
        if (c > 0x7F) return 0;
        ascii += static_cast<char>(c);
    }
    std::int64_t value = 0;
    const char* begin = ascii.data();
    const char* end = begin + ascii.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end) return 0;
    const std::size_t digitsAt = (!ascii.empty() && ascii[0] == '-') ? 1 : 0;
    escapedMarker = ascii.size() > digitsAt + 1 && ascii[digitsAt] == '0';
    return value;
}

std::wstring FormatSize(std::int64_t size, bool escapedMarker) {
    std::wstring digits = std::to_wstring(size < 0 ? -size : size);
    if (escapedMarker) digits.insert(0, L"0");
    return size < 0 ? L"-" + digits : digits;
}

}  // namespace

bool PathNeedsEscape(std::wstring_view path) {
    for (bool b : UnitsToEscape(path))
        if (b) return true;
    return false;
}

std::wstring EscapePath(std::wstring_view path) {
    const std::vector<bool> escape = UnitsToEscape(path);
    std::wstring out;
    out.reserve(path.size() + 16);
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (escape[i] || path[i] == L'%') AppendEscape(out, path[i]);
        else out += path[i];
    }
    return out;
}

std::wstring UnescapePath(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 5 < text.size() && (text[i + 1] == L'u' || text[i + 1] == L'U')) {
            int value = 0;
            bool ok = true;
            for (std::size_t k = 2; k < 6 && ok; ++k) {
                const int h = HexValue(text[i + k]);
                ok = h >= 0;
                value = value * 16 + h;
            }
            if (ok) {
                out += static_cast<wchar_t>(value);
                i += 5;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::wstring FormatIndexLine(const QuarantineRecord& record) {
    const bool escaped = PathNeedsEscape(record.SourcePath);
    std::wstring line = record.QuarantineDate;
    line += kSeparator;
    line += FormatSize(record.SourceSize, escaped);
    line += kSeparator;
    line += record.StoredHash;
    line += kSeparator;
    line += escaped ? EscapePath(record.SourcePath) : record.SourcePath;
    return line;
}

bool ParseIndexLine(std::wstring_view line, QuarantineRecord& record) {
    const std::wstring trimmed = TrimSpaces(line);
    if (trimmed.size() < 11 || trimmed.find(kSeparator) == std::wstring::npos) return false;
    const std::vector<std::wstring_view> parts = SplitAll(trimmed);
    if (parts.size() != 4) return false;
    bool escaped = false;
    record.QuarantineDate = std::wstring(parts[0]);
    record.SourceSize = ParseSize(parts[1], escaped);
    record.StoredHash = std::wstring(parts[2]);
    record.SourcePath = escaped ? UnescapePath(parts[3]) : std::wstring(parts[3]);
    return true;
}

bool ReadIndexFile(const std::wstring& indexPath, std::vector<QuarantineRecord>& records) {
    records.clear();
    unique_file file(::CreateFileW(indexPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string bytes;
    char buffer[32768];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    // Lines end in CR LF; a lone CR or LF ends a line too, as the old line reader took them.
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        DoEvents();
        QuarantineRecord record;
        if (end > start && ParseIndexLine(AnsiToWide(std::string_view(bytes).substr(start, end - start)), record))
            records.push_back(std::move(record));
        start = end;
        if (start < bytes.size() && bytes[start] == '\r') ++start;
        if (start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return true;
}

bool WriteIndexFile(const std::wstring& indexPath, const std::vector<QuarantineRecord>& records) {
    if (records.empty()) {
        if (::DeleteFileW(indexPath.c_str())) return true;
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    std::string bytes;
    for (const QuarantineRecord& record : records) {
        bytes += WideToAnsi(FormatIndexLine(record));
        bytes += "\r\n";
    }
    const std::wstring sidePath = indexPath + L".new";
    {
        unique_file side(::CreateFileW(sidePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
        if (!side) return false;
        DWORD put = 0;
        const bool written = ::WriteFile(side.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                             put == bytes.size() && ::FlushFileBuffers(side.get());
        if (!written) {
            side.reset();
            ::DeleteFileW(sidePath.c_str());
            return false;
        }
    }
    if (::MoveFileExW(sidePath.c_str(), indexPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    ::DeleteFileW(sidePath.c_str());
    return false;
}

namespace {

// The file's last byte, 0 when it is empty; false when it cannot be read.
bool ReadLastByte(HANDLE file, LONGLONG size, char& last) {
    last = 0;
    if (size == 0) return true;
    LARGE_INTEGER at{};
    at.QuadPart = size - 1;
    DWORD got = 0;
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::ReadFile(file, &last, 1, &got, nullptr) && got == 1;
}

}  // namespace

bool AppendIndexLine(const std::wstring& indexPath, const QuarantineRecord& record) {
    std::string bytes = WideToAnsi(FormatIndexLine(record));
    bytes += "\r\n";
    unique_file file(::CreateFileW(indexPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    char last = 0;
    if (!::GetFileSizeEx(file.get(), &size) || !ReadLastByte(file.get(), size.QuadPart, last)) return false;
    // A line written by hand without its end must not run into the new one.
    if (size.QuadPart > 0 && last != '\n' && last != '\r') bytes.insert(0, "\r\n");
    DWORD put = 0;
    const bool written = ::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) &&
                         ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
                         put == bytes.size() && ::FlushFileBuffers(file.get());
    if (written) return true;
    // No part of a line stays behind: a torn last line would read as a record of another path.
    ::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file.get());
    const bool madeNow = size.QuadPart == 0;
    file.reset();
    if (madeNow) ::DeleteFileW(indexPath.c_str());  // the index exists only while it holds records
    return false;
}

std::optional<IndexStamp> StampOfIndex(const std::wstring& indexPath) {
    unique_file file(::CreateFileW(indexPath.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return IndexStamp{};
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    IndexStamp stamp;
    stamp.exists = true;
    stamp.volume = info.dwVolumeSerialNumber;
    stamp.fileId = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.lastWrite = (static_cast<ULONGLONG>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                      info.ftLastWriteTime.dwLowDateTime;
    return stamp;
}

}  // namespace tessaly::quarantine
