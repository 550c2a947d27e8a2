// The program's own error log for faults a catch swallows: every catch-all at a window procedure,
// a COM callback or an operation's edge writes the fault and where it happened here, because
// nothing else would ever show it (Wine least of all).
#pragma once

#include <source_location>
#include <string>
#include <string_view>

namespace tessaly {

// Name of this program's error log: its own file name in lower case ("drossel.exe"), so the log is
// "<per-machine data folder>drossel.exe.err".
std::wstring ProgramErrLogName();

// Call inside a catch block: appends one line with the local time, `where` (or the function the
// call stands in when empty), the source line and the caught exception's text. Never throws.
void LogCaughtFault(std::wstring_view where = {},
                    std::source_location location = std::source_location::current()) noexcept;

// The same line for a fault that is not an exception (a failed call whose result is ignored).
void LogFault(std::wstring_view where, std::wstring_view what,
              std::source_location location = std::source_location::current()) noexcept;

}  // namespace tessaly
