// One run of drossel.exe from a staged folder: the process, the answerer of its message boxes,
// and its main window with the controls a user reads and clicks.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "BoxWatcher.h"
#include "ChildProcess.h"
#include "StagedProgramFolder.h"

namespace e2e {

class DrosselRun {
public:
    DrosselRun(const StagedProgramFolder& folder, const std::wstring& arguments);

    [[nodiscard]] bool Started() const { return m_process.Valid(); }
    [[nodiscard]] DWORD Id() const { return m_process.Id(); }
    [[nodiscard]] const ChildProcess& Process() const { return m_process; }
    BoxWatcher& Boxes() { return *m_boxes; }

    // The main window, once it carries its caption; nullptr when none came within timeoutMs.
    HWND WaitForWindow(DWORD timeoutMs);
    // Start-up is over: the window is shown and enabled and the loading tip is gone.
    bool WaitUntilReady(DWORD timeoutMs);
    [[nodiscard]] HWND Window() const { return m_window; }

    [[nodiscard]] HWND PageFrame(int index) const;
    [[nodiscard]] HWND TopButton(int index) const;
    [[nodiscard]] std::wstring TopButtonCaption(int index) const;
    void ClickTopButton(int index) const;
    [[nodiscard]] HWND MainControl(int id) const;
    // A control of the scan page (frame 1), of the home page (frame 0).
    [[nodiscard]] HWND ScanPageControl(int id) const;
    [[nodiscard]] HWND HomePageControl(int id) const;
    // Text of the scan page's counter label i (0 files .. 6 damaged documents).
    [[nodiscard]] std::wstring Counter(int index) const;
    // The scan page shows "扫描完毕".
    bool WaitForScanEnd(DWORD timeoutMs) const;

    void Close() const;
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const { return m_process.WaitForExit(timeoutMs); }

private:
    ChildProcess m_process;
    std::unique_ptr<BoxWatcher> m_boxes;
    HWND m_window = nullptr;
};

}  // namespace e2e
