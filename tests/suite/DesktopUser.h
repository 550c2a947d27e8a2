// Starting a program as the shell starts the programs of the autorun value at log-on: with the
// rights of the desktop user, not with the full rights this test may run with.
#pragma once

#include <windows.h>

#include <string>

#include "ChildProcess.h"

namespace suitetest {

// Starts the command line (as the autorun value holds it) with the desktop user's token: the
// limited token linked to this process's token when this process runs elevated, else its own.
e2e::ChildProcess StartAsDesktopUser(const std::wstring& commandLine);

// The process runs with a full administrator token; false also when it cannot be asked.
bool RunsElevated(DWORD processId);

}  // namespace suitetest
