// Comparisons of paths and texts the way Windows compares file names: ignoring case.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace e2e {

inline bool SameNoCase(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

inline bool EndsWithNoCase(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && SameNoCase(text.substr(text.size() - end.size()), end);
}

inline bool ContainsNoCase(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::wstring& t) { return SameNoCase(t, text); });
}

// The scan request the engine receives for a path: its "\" sent as "/".
inline std::wstring ScanRequestFor(std::wstring path) {
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return L"SCAN::" + path;
}

}  // namespace e2e
