// One run of zdvguard.exe from a staged folder: the process, a watcher that answers any message
// box it shows, its hidden form (found by caption) whose timers a test ticks by posting WM_TIMER,
// its threat notices and its error log.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BoxWatcher.h"
#include "ChildProcess.h"
#include "StagedProgramFolder.h"

namespace e2e {

class GuardRun {
public:
    // commonDataFolder: the per-machine data folder the guard writes into (trailing "\").
    GuardRun(const StagedProgramFolder& folder, std::wstring commonDataFolder);

    [[nodiscard]] bool Started() const { return m_process.Valid(); }
    [[nodiscard]] DWORD Id() const { return m_process.Id(); }
    [[nodiscard]] bool Running() const { return m_process.Running(); }
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const { return m_process.WaitForExit(timeoutMs); }
    BoxWatcher& Boxes() { return *m_boxes; }

    // The form exists and the process-exit watch has taken its first look.
    bool WaitUntilWatching(DWORD timeoutMs);
    [[nodiscard]] HWND Window() const { return m_window; }
    // Posts the timer's tick to the form, as the timer itself would.
    void Tick(UINT_PTR timerId) const;
    // The process-exit watch's tick, returning once the guard has taken its look.
    bool LookAtProcessesNow() const;
    // The threat notices the guard shows now.
    [[nodiscard]] std::vector<HWND> Notices() const;
    // The guard's error log ("zdvguard.exe.err"), decoded.
    [[nodiscard]] std::wstring ErrorLog() const;

private:
    std::wstring m_commonData;
    ChildProcess m_process;
    std::unique_ptr<BoxWatcher> m_boxes;
    HWND m_window = nullptr;
};

// The text a tool tip of another process shows for the tool window `tool` of `owner`.
std::wstring RemoteToolTipText(HWND toolTip, HWND owner, HWND tool);

}  // namespace e2e
