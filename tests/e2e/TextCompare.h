// Comparisons of paths and texts the way Windows compares file names: ignoring case.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

inline bool SameNoCase(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

inline bool EndsWithNoCase(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && SameNoCase(text.substr(text.size() - end.size()), end);
}

}  // namespace e2e
