// The program's command-line arguments as one text, as a user typed them after the program name.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

// Everything after the program name (quoted or not) and the blanks that follow it; nothing else
// is changed: quotes and inner blanks stay.
std::wstring ArgumentsOf(std::wstring_view commandLine);
std::wstring CommandArguments();

}  // namespace tessaly
