#include "TextFiles.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TextConvert.h"

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
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
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
