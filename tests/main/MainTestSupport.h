// Helpers of the main-program tests: the shared private data folders and registry snapshot, a
// stand-in tray program, and an answerer for the message boxes a click brings up.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PrivateDataFolders.h"
#include "RegistrySnapshot.h"
#include "UniqueHandle.h"

namespace maintest {

using testsupport::PrivateDataFolders;
using testsupport::RegistrySnapshot;

// Places a stand-in kestrine.exe beside the test program while none is there, so autorun can
// be switched on.
class TrayStandIn {
public:
    TrayStandIn();
    ~TrayStandIn();
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
    bool m_made = false;
};

// Watches for a message box of this process with the given title, records its text and presses
// its first button.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(std::wstring title);
    ~MessageBoxAnswerer();
    // Texts of the boxes answered so far.
    std::vector<std::wstring> Texts();

private:
    void Watch();
    std::wstring m_title;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::vector<std::wstring> m_texts;
    std::thread m_thread;
};

using testsupport::AutoRunValue;
using testsupport::ClassesRootDefault;
using testsupport::ClassesRootKeyExists;

// A top-level window to hold pages; destroyed with the object.
class HostWindow {
public:
    HostWindow();
    ~HostWindow();
    HWND hwnd() const { return m_hwnd.get(); }

private:
    tessaly::unique_hwnd m_hwnd;
};
// Child window of parent with the given class and caption, or nullptr.
HWND FindChild(HWND parent, const wchar_t* windowClass, const std::wstring& caption);
std::wstring WindowText(HWND hwnd);
// Lets the window messages waiting for this thread run.
void PumpMessages();

}  // namespace maintest
