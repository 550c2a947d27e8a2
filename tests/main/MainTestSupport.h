// Helpers of the main-program tests: private data folders, a saved copy of the registry values
// the pages write, and an answerer for the message boxes a click brings up.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace maintest {

// Points "AppData" and "ProgramData" of this process at a fresh folder for the object's life.
class PrivateDataFolders {
public:
    PrivateDataFolders();
    ~PrivateDataFolders();
    const std::wstring& Root() const { return m_root; }
    std::wstring ConfigFile() const;

private:
    std::wstring m_root;
    std::optional<std::wstring> m_appData;
    std::optional<std::wstring> m_programData;
};

// Saves the ten verb keys and the autorun value, and puts them back as they were.
class RegistrySnapshot {
public:
    RegistrySnapshot();
    ~RegistrySnapshot();

private:
    struct VerbState {
        std::wstring key;
        std::optional<std::wstring> caption;
        std::optional<std::wstring> command;
    };
    std::vector<VerbState> m_verbs;
    std::optional<std::wstring> m_autoRun;
};

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

// Default value of a key below HKEY_CLASSES_ROOT; nullopt when the key or value is missing.
std::optional<std::wstring> ClassesRootDefault(const std::wstring& key);
bool ClassesRootKeyExists(const std::wstring& key);
std::optional<std::wstring> AutoRunValue();
// A top-level window to hold pages; destroyed with the object.
class HostWindow {
public:
    HostWindow();
    ~HostWindow();
    HWND hwnd() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};
// Child window of parent with the given class and caption, or nullptr.
HWND FindChild(HWND parent, const wchar_t* windowClass, const std::wstring& caption);
std::wstring WindowText(HWND hwnd);
// Lets the window messages waiting for this thread run.
void PumpMessages();

}  // namespace maintest
