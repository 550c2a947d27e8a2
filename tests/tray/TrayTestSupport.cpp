#include "TrayTestSupport.h"

#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "StagedProgramFolder.h"
#include "TextFiles.h"
#include "WindowClass.h"
#include "frmTrayLayout.h"
#include "modCommon.h"
#include "modTray.h"

namespace traytest {
namespace {

constexpr UINT kSendTimeoutMs = 10000;
constexpr wchar_t kStartedSuffix[] = L".started";
// Wine's notification area without a system tray of the X server: a stand-alone window with one
// child window per icon.
constexpr wchar_t kStandaloneTrayClass[] = L"__winex11_standalone_tray";
constexpr wchar_t kTrayIconClass[] = L"__winex11_tray_icon";

bool NotifyShell(DWORD message, HWND form) {
    tessaly::tray::NotifyIconRecord record;
    record.cbSize = sizeof record;
    record.hWnd = form;
    record.uID = 0;
    record.uFlags = 0;
    return ::Shell_NotifyIconA(message, reinterpret_cast<PNOTIFYICONDATAA>(&record)) != FALSE;
}

std::vector<std::wstring> Fields(const std::wstring& line) {
    std::vector<std::wstring> fields;
    std::size_t start = 0;
    for (int i = 0; i < 2; ++i) {
        const std::size_t tab = line.find(L'\t', start);
        if (tab == std::wstring::npos) break;
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

struct ProcessEntry {
    DWORD id;
    DWORD parentId;
    ULONGLONG created;  // 100-ns units, as GetProcessTimes gives it
};

ULONGLONG CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

std::vector<ProcessEntry> LiveProcesses() {
    std::vector<ProcessEntry> entries;
    tessaly::unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        tessaly::unique_kernel_handle process(
            ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT)
            entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID, CreationTime(process.get())});
    }
    return entries;
}

}  // namespace

// ---- TrayFolder ------------------------------------------------------------------------------------

TrayFolder::TrayFolder(std::wstring folder) : m_folder(std::move(folder)) {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    Copy(e2e::TestProgramFolder() + L"..\\stage\\kestrine.exe", L"kestrine.exe");
}

TrayFolder::~TrayFolder() { e2e::EndProcessesFromFolder(m_folder); }

void TrayFolder::AddRecorder(const std::wstring& name) { Copy(e2e::TestProgramFolder() + L"tray_recorder.exe", name); }

void TrayFolder::AddFile(const std::wstring& name, const std::string& bytes) { e2e::WriteBytes(File(name), bytes); }

void TrayFolder::Copy(const std::wstring& from, const std::wstring& name) {
    if (!::CopyFileW(from.c_str(), File(name).c_str(), FALSE))
        m_problem += L"cannot copy " + from + L" (error " + std::to_wstring(::GetLastError()) + L"); ";
}

std::vector<StartRecord> StartsOf(const TrayFolder& folder, const std::wstring& program) {
    std::vector<StartRecord> starts;
    const auto lines = e2e::ReadUtf8Lines(folder.File(program) + kStartedSuffix);
    if (!lines) return starts;
    for (const std::wstring& line : *lines) {
        if (line.empty()) continue;
        const std::vector<std::wstring> fields = Fields(line);
        if (fields.size() != 3) continue;
        starts.push_back({static_cast<DWORD>(std::wcstoul(fields[0].c_str(), nullptr, 10)), fields[1], fields[2]});
    }
    return starts;
}

bool WaitForStarts(const TrayFolder& folder, const std::wstring& program, std::size_t count) {
    return e2e::WaitUntil([&] { return StartsOf(folder, program).size() >= count; }, kWaitMs);
}

// ---- RunningTray -----------------------------------------------------------------------------------

RunningTray::RunningTray(const TrayFolder& folder)
    : RunningTray(e2e::ChildProcess(folder.File(L"kestrine.exe"), L"", folder.Folder())) {}

RunningTray::RunningTray(e2e::ChildProcess process) : m_process(std::move(process)) {
    if (!m_process.Valid()) return;
    HWND form = nullptr;
    e2e::WaitUntil(
        [&] {
            const auto forms = e2e::TopWindowsOf(m_process.Id(), tessaly::tray::kFormClass);
            form = forms.empty() ? nullptr : forms.front();
            return form != nullptr;
        },
        kWaitMs);
    if (!form) return;
    // The marker is the start-up's last trace; the icon may come a little later when the shell
    // was not ready for it yet.
    if (e2e::WaitUntil([&] { return tessaly::IsRunMarkerPresent(tessaly::kMarkerTray) && ShellKnowsIcon(form); },
                       kWaitMs))
        m_form = form;
}

RunningTray::~RunningTray() {
    if (!m_form || !m_process.Running()) return;
    Post(WM_CLOSE, 0, 0);
    m_process.WaitForExit(kWaitMs);
}

void RunningTray::Send(UINT msg, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(m_form, msg, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
}

void RunningTray::Post(UINT msg, WPARAM wParam, LPARAM lParam) const { ::PostMessageW(m_form, msg, wParam, lParam); }

void RunningTray::Tick(UINT_PTR timerId, int times) const {
    for (int i = 0; i < times; ++i) Send(WM_TIMER, timerId, 0);
}

void RunningTray::Choose(UINT itemId) const { Send(WM_COMMAND, MAKEWPARAM(itemId, 0), 0); }

void RunningTray::PostIconEvent(UINT mouseMessage) const {
    Post(tessaly::tray::kTrayCallbackMessage, 0, static_cast<LPARAM>(mouseMessage));
}

// ---- The shell -------------------------------------------------------------------------------------

bool ShellKnowsIcon(HWND form) { return NotifyShell(NIM_MODIFY, form); }

bool ShellForgetsIcon(HWND form) { return NotifyShell(NIM_DELETE, form); }

int ShellIconCount() {
    int count = 0;
    for (HWND tray = ::FindWindowExW(nullptr, nullptr, kStandaloneTrayClass, nullptr); tray;
         tray = ::FindWindowExW(nullptr, tray, kStandaloneTrayClass, nullptr))
        for (HWND icon = ::FindWindowExW(tray, nullptr, kTrayIconClass, nullptr); icon;
             icon = ::FindWindowExW(tray, icon, kTrayIconClass, nullptr))
            ++count;
    return count;
}

namespace {

// One icon of the test process's own for the whole run. Wine hides its stand-alone tray window when
// the last icon goes and, without a window manager on the display, then waits two seconds for the
// window to be withdrawn, holding up whoever removed that icon.
class ShellIconKeeper : public ::testing::Environment {
public:
    void SetUp() override {
        tessaly::RegisterWindowClass(kKeeperClass, ::DefWindowProcW);
        m_window = ::CreateWindowExW(0, kKeeperClass, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = m_window;
        data.uID = 1;
        data.uFlags = NIF_ICON;
        data.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
        ::Shell_NotifyIconW(NIM_ADD, &data);
    }
    void TearDown() override {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = m_window;
        data.uID = 1;
        ::Shell_NotifyIconW(NIM_DELETE, &data);
        ::DestroyWindow(m_window);
    }

private:
    static constexpr wchar_t kKeeperClass[] = L"TrayTestIconKeeper";
    HWND m_window = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kKeeper = ::testing::AddGlobalTestEnvironment(new ShellIconKeeper);

}  // namespace

// ---- MarkerHolder ----------------------------------------------------------------------------------

MarkerHolder::MarkerHolder(const std::wstring& name) {
    const std::wstring exe = e2e::TestProgramFolder() + L"common_marker_holder.exe";
    std::wstring commandLine = L"\"" + exe + L"\" " + name;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &startup, &info))
        return;
    m_process = std::move(tessaly::TakeProcessHandles(info).process);
    m_ready = e2e::WaitUntil([&] { return tessaly::IsRunMarkerPresent(name); }, kWaitMs);
}

MarkerHolder::~MarkerHolder() {
    if (!m_process) return;
    ::TerminateProcess(m_process.get(), 0);
    ::WaitForSingleObject(m_process.get(), kWaitMs);
}

// ---- Starts ----------------------------------------------------------------------------------------

std::vector<DWORD> LiveChildrenOf(DWORD parentId) {
    const std::vector<ProcessEntry> processes = LiveProcesses();
    const auto parent = std::find_if(processes.begin(), processes.end(),
                                     [&](const ProcessEntry& entry) { return entry.id == parentId; });
    std::vector<DWORD> children;
    // Process ids come back quickly under Wine: a process left by an earlier test can name a parent
    // whose id now belongs to this one, but it was made before this parent was.
    for (const ProcessEntry& entry : processes)
        if (entry.parentId == parentId && (parent == processes.end() || entry.created >= parent->created))
            children.push_back(entry.id);
    return children;
}

bool StartsSettled(DWORD starterId, const TrayFolder& folder) {
    if (!LiveChildrenOf(starterId).empty()) return false;
    for (DWORD id : e2e::ProcessesFromFolder(folder.Folder()))
        if (id != starterId) return false;
    return true;
}

bool NothingStarted(DWORD starterId, const TrayFolder& folder) {
    if (!StartsSettled(starterId, folder)) return false;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Folder(), error))
        if (entry.path().extension() == kStartedSuffix) return false;
    return true;
}

}  // namespace traytest
