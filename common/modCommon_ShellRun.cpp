// Starting another program from one command line, and the common-control initialisation.
#include <windows.h>
#include <commctrl.h>

#include "UniqueHandle.h"
#include "modCommon.h"
#include "FaultLog.h"

namespace tessaly {
namespace {

bool StartsWithQuote(const std::wstring& text) { return !text.empty() && text.front() == L'"'; }

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

}  // namespace

std::wstring BuildShellRunCommand(const std::wstring& path, const std::wstring& args, bool viaExplorer,
                                  bool winXPOrEarlier) {
    std::wstring command = path;
    if (!StartsWithQuote(path) && path.find(L' ', 1) != std::wstring::npos) command = Quoted(path);
    if (!args.empty()) command = (StartsWithQuote(path) ? path : Quoted(path)) + L" " + args;
    // Through explorer.exe the program runs un-elevated as the desktop user.
    if (!winXPOrEarlier && viaExplorer) command = GetExplorerPath() + L" " + command;
    return command;
}

bool ShellRunEx(const std::wstring& path, const std::wstring& args, std::int32_t windowStyle, bool viaExplorer) {
    try {
        if (!DirLookup(path)) return false;
        const bool oldPlatform = IsWinXPOrEarlier();
        if (oldPlatform) {
            // An external manifest would override the embedded one on XP.
            const std::wstring manifest = path + L".manifest";
            if (DirLookup(manifest)) ::DeleteFileW(manifest.c_str());
        }
        std::wstring command = BuildShellRunCommand(path, args, viaExplorer, oldPlatform);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        // The styles the callers pass (0 hidden, 1 normal with focus) are the SW_ values of the same
        // number, as are the other classic window styles; anything else shows the window normally.
        startup.wShowWindow = static_cast<WORD>(windowStyle >= SW_HIDE && windowStyle <= SW_SHOWDEFAULT ? windowStyle
                                                                                                      : SW_SHOWNORMAL);
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process))
            return false;
        unique_kernel_handle processHandle(process.hProcess);
        unique_kernel_handle threadHandle(process.hThread);
        return process.dwProcessId != 0;
    } catch (...) {
        LogCaughtFault(L"ShellRunEx");
        return false;
    }
}

bool ShellRun(const std::wstring& path, const std::wstring& args, std::int32_t windowStyle) {
    return ShellRunEx(path, args, windowStyle, false);
}

bool InitCommonControlClasses() {
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof init;
    init.dwICC = ICC_USEREX_CLASSES;
    ::InitCommonControlsEx(&init);
    return true;
}

}  // namespace tessaly
