// Process start with a kept process handle; see ProcessStart.h.
#include "ProcessStart.h"

#include <windows.h>

#include "FaultLog.h"
#include "modCommon.h"

namespace tessaly::updater {
namespace {

constexpr DWORD kAfterStartPauseMs = 500;

}  // namespace

std::wstring StartProcessCommand(const std::wstring& path, const std::wstring& args) {
    const std::wstring program = !path.empty() && path.front() == L'"' ? path : L"\"" + path + L"\"";
    return program + L" " + args;
}

bool StartProcess(const std::wstring& path, const std::wstring& args, ProcessHandles& started) {
    try {
        std::wstring command = StartProcessCommand(path, args);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        const BOOL created = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                              &startup, &info);
        ::Sleep(kAfterStartPauseMs);
        if (!created) return false;
        started = TakeProcessHandles(info);
        started.thread.reset();
        return true;
    } catch (...) {
        LogCaughtFault(L"StartProcess");
        return false;
    }
}

bool ShellRunViaExplorer(const std::wstring& path, std::int32_t windowStyle) {
    return ShellRunEx(path, L"", windowStyle, true);
}

}  // namespace tessaly::updater
