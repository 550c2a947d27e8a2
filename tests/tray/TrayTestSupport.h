// What the tray tests share: a program folder with kestrine.exe and the recording stand-in, the
// running tray program driven through its hidden form, the shell's view of the icon, a run marker
// held by another process, and the check that nothing was started.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "UniqueHandle.h"

namespace traytest {

inline constexpr DWORD kWaitMs = 10000;

// A program folder of the test's own (trailing "\"): kestrine.exe from the build's staged folder,
// and by name the recording stand-in or any file. Every program from the folder is ended with it.
class TrayFolder {
public:
    explicit TrayFolder(std::wstring folder);
    ~TrayFolder();
    TrayFolder(const TrayFolder&) = delete;
    TrayFolder& operator=(const TrayFolder&) = delete;

    [[nodiscard]] bool Ready() const { return m_problem.empty(); }
    [[nodiscard]] const std::wstring& Problem() const { return m_problem; }
    [[nodiscard]] const std::wstring& Folder() const { return m_folder; }
    [[nodiscard]] std::wstring File(const std::wstring& name) const { return m_folder + name; }
    // The recording stand-in under this name (drossel.exe, zdvshengji.exe, zdvguard.exe).
    void AddRecorder(const std::wstring& name);
    void AddFile(const std::wstring& name, const std::string& bytes);

private:
    void Copy(const std::wstring& from, const std::wstring& name);

    std::wstring m_folder;
    std::wstring m_problem;
};

// One start the stand-in recorded.
struct StartRecord {
    DWORD parentId = 0;
    std::wstring parentName;  // empty when the parent had ended before the stand-in looked
    std::wstring commandLine;
};
std::vector<StartRecord> StartsOf(const TrayFolder& folder, const std::wstring& program);
// True once the stand-in under this name has recorded at least count starts.
bool WaitForStarts(const TrayFolder& folder, const std::wstring& program, std::size_t count);

// kestrine.exe started from the folder, with its hidden form found and its icon in the shell.
class RunningTray {
public:
    explicit RunningTray(const TrayFolder& folder);
    // A tray program started in another way (from the autorun value, say).
    explicit RunningTray(e2e::ChildProcess process);
    // Closes the form as a user's log-off would, so its icon leaves the shell in order.
    ~RunningTray();
    RunningTray(const RunningTray&) = delete;
    RunningTray& operator=(const RunningTray&) = delete;

    // The form is there and the shell knows its icon.
    [[nodiscard]] bool Ready() const { return m_form != nullptr; }
    [[nodiscard]] DWORD Id() const { return m_process.Id(); }
    [[nodiscard]] HWND Form() const { return m_form; }
    [[nodiscard]] bool Running() const { return m_process.Running(); }
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = kWaitMs) const { return m_process.WaitForExit(timeoutMs); }

    // Handled by the form when the call returns (a message box it shows has been answered by then).
    void Send(UINT msg, WPARAM wParam, LPARAM lParam) const;
    void Post(UINT msg, WPARAM wParam, LPARAM lParam) const;
    // WM_TIMER with the timer's identifier, as the timer itself would deliver it; times in a row.
    void Tick(UINT_PTR timerId, int times = 1) const;
    // The menu item's WM_COMMAND, as the pop-up menu sends it when the user chooses the item.
    void Choose(UINT itemId) const;
    // The icon's callback message with the mouse event in lParam.
    void PostIconEvent(UINT mouseMessage) const;

private:
    e2e::ChildProcess m_process;
    HWND m_form = nullptr;
};

// The shell's answer to a modify of the icon (form, 0) that changes nothing: True while the
// notification area holds that icon.
bool ShellKnowsIcon(HWND form);
// Removes the icon from the notification area, as a shell that restarts would lose it.
bool ShellForgetsIcon(HWND form);
// Icons in Wine's notification area: the stand-alone tray window Wine shows when the X server has
// no system tray of its own.
int ShellIconCount();

// common_marker_holder.exe holding the run marker in the test's private per-machine folder.
class MarkerHolder {
public:
    explicit MarkerHolder(const std::wstring& name);
    ~MarkerHolder();
    MarkerHolder(const MarkerHolder&) = delete;
    MarkerHolder& operator=(const MarkerHolder&) = delete;
    [[nodiscard]] bool Ready() const { return m_ready; }

private:
    tessaly::unique_kernel_handle m_process;
    bool m_ready = false;
};

// No program the process started (directly or through explorer.exe) runs any more. Once a start
// call has returned, its program (or the explorer.exe between) either still runs or has already
// recorded its start: from here on the stand-in's records are complete.
bool StartsSettled(DWORD starterId, const TrayFolder& folder);
// Nothing was started by the process: the starts have settled and none was recorded. Needs no
// waiting after the start calls have returned.
bool NothingStarted(DWORD starterId, const TrayFolder& folder);

// Processes started by this one that still run.
std::vector<DWORD> LiveChildrenOf(DWORD parentId);

}  // namespace traytest
