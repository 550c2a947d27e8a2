#include "TextFiles.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

#include "TextConvert.h"
#include "UniqueHandle.h"

namespace e2e {
namespace {

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
    // Shared for deletion too: run markers are held open by their delete-on-close owner.
    tessaly::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[8192];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << bytes;
}

std::optional<std::vector<std::wstring>> ReadAnsiLines(const std::wstring& path) {
    const std::optional<std::string> bytes = ReadBytes(path);
    if (!bytes) return std::nullopt;
    return SplitLines(tessaly::AnsiToWide(*bytes));
}

std::optional<std::vector<std::wstring>> ReadUtf8Lines(const std::wstring& path) {
    const std::optional<std::string> bytes = ReadBytes(path);
    if (!bytes) return std::nullopt;
    return SplitLines(tessaly::Utf8ToWide(*bytes));
}

}  // namespace e2e
