// Small text helpers shared by the Office discovery files.
#include "modGetOfficeInfo_Text.h"

#include <windows.h>

namespace tessaly::office_detail {

std::vector<std::wstring> SplitText(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t pos = text.find(separator, start);
        if (pos == std::wstring_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::wstring RemoveAll(std::wstring_view text, std::wstring_view what) {
    std::wstring out(text);
    if (what.empty()) return out;
    for (size_t pos = out.find(what); pos != std::wstring::npos; pos = out.find(what, pos)) out.erase(pos, what.size());
    return out;
}

std::wstring TextBefore(std::wstring_view text, wchar_t separator) {
    return std::wstring(text.substr(0, text.find(separator)));
}

std::wstring ReplaceFirst(std::wstring_view text, std::wstring_view what, std::wstring_view with) {
    std::wstring out(text);
    const size_t pos = what.empty() ? std::wstring::npos : out.find(what);
    if (pos != std::wstring::npos) out.replace(pos, what.size(), with);
    return out;
}

std::wstring ReadEnvironment(const std::wstring& name) {
    if (name.empty()) return {};
    std::wstring value(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD got = ::GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (got == 0) return {};
        if (got < value.size()) {
            value.resize(got);
            return value;
        }
        value.resize(got);  // too small: got is the size needed, terminator included
    }
    return {};
}

std::wstring FolderWithSlash(std::wstring_view path) {
    const size_t pos = path.rfind(L'\\');
    if (pos == std::wstring_view::npos) return {};
    return std::wstring(path.substr(0, pos + 1));
}

std::wstring WithTrailingSlash(std::wstring_view path) {
    std::wstring out(path);
    if (out.empty() || out.back() != L'\\') out += L'\\';
    return out;
}

}  // namespace tessaly::office_detail
