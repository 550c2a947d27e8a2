// Starting the installer package, the download agent and the start through explorer.exe.
#pragma once

#include <cstdint>
#include <string>

#include "UniqueHandle.h"

namespace tessaly::updater {

// Command line StartProcess creates: the path in double quotes (unless it already begins with
// one), a blank, the arguments.
std::wstring StartProcessCommand(const std::wstring& path, const std::wstring& args);
// Creates the process with no inherited handles in the caller's environment and folder, pauses
// 500 ms either way, and hands back the process handle and id (the thread handle is closed).
bool StartProcess(const std::wstring& path, const std::wstring& args, ProcessHandles& started);
// Starts the program with no arguments through the shell program, so on Vista and later it runs
// un-elevated as the desktop user.
bool ShellRunViaExplorer(const std::wstring& path, std::int32_t windowStyle);

}  // namespace tessaly::updater
