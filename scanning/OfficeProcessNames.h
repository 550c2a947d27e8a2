// The office programs whose documents the suite looks after, by process file name in lower case,
// in the order every caller tests them: the main program offers to end them at its start, the
// guard scans when one of them ends and steps aside while one runs.
#pragma once

#include <array>
#include <string_view>

namespace tessaly {

inline constexpr std::array<const wchar_t*, 4> kOfficeProcesses{L"excel.exe", L"winword.exe", L"wps.exe", L"et.exe"};

// Exact comparison: the caller lower-cases the name first.
inline bool IsOfficeProcessName(std::wstring_view lowerName) noexcept {
    for (const wchar_t* name : kOfficeProcesses)
        if (lowerName == name) return true;
    return false;
}

}  // namespace tessaly
