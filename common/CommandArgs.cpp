#include "CommandArgs.h"

#include <windows.h>

namespace tessaly {

std::wstring ArgumentsOf(std::wstring_view line) {
    std::size_t i = 0;
    // The program name follows the rules the C runtime uses for argv[0]: a quoted name ends at
    // the next quote, an unquoted one at the first blank.
    if (i < line.size() && line[i] == L'"') {
        const std::size_t close = line.find(L'"', 1);
        i = close == std::wstring_view::npos ? line.size() : close + 1;
    }
    while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    return std::wstring(line.substr(i));
}

std::wstring CommandArguments() {
    const wchar_t* line = ::GetCommandLineW();
    return line ? ArgumentsOf(line) : std::wstring();
}

}  // namespace tessaly
