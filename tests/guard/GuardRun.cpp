// One run of the guard; see GuardRun.h.
#include "GuardRun.h"

#include <commctrl.h>

#include "GuardForm.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "TextConvert.h"
#include "TextFiles.h"
#include "frmTrayVirusMonitor.h"

namespace e2e {
namespace {

constexpr wchar_t kWatchingLine[] = L"watching the process list instead";
constexpr std::size_t kToolTipChars = 1024;
constexpr UINT kLookTimeoutMs = 10000;

// Memory in another process for a message whose pointers that process follows.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, std::size_t size)
        : m_process(process), m_address(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteBuffer() {
        if (m_address) ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    [[nodiscard]] void* Address() const { return m_address; }
    [[nodiscard]] unsigned char* At(std::size_t offset) const { return static_cast<unsigned char*>(m_address) + offset; }

private:
    HANDLE m_process;
    void* m_address;
};

}  // namespace

GuardRun::GuardRun(const StagedProgramFolder& folder, std::wstring commonDataFolder)
    : m_commonData(std::move(commonDataFolder)),
      m_process(folder.Guard(), L"", folder.Folder()),
      m_boxes(std::make_unique<BoxWatcher>(m_process.Id())) {}

bool GuardRun::WaitUntilWatching(DWORD timeoutMs) {
    return WaitUntil(
        [this] {
            if (!m_window) m_window = FindTopWindow(Id(), tessaly::guard::kGuardCaption);
            return m_window != nullptr && ErrorLog().find(kWatchingLine) != std::wstring::npos;
        },
        timeoutMs);
}

void GuardRun::Tick(UINT_PTR timerId) const { ::PostMessageW(m_window, WM_TIMER, timerId, 0); }

bool GuardRun::LookAtProcessesNow() const {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(m_window, WM_TIMER, tessaly::guard::frmMain::kTimerOfficeExitPoll, 0, SMTO_NORMAL,
                                 kLookTimeoutMs, &ignored) != 0;
}

std::vector<HWND> GuardRun::Notices() const {
    return TopWindowsOf(Id(), tessaly::guard::frmTrayVirusMonitor::kClassName);
}

std::wstring GuardRun::ErrorLog() const {
    const std::optional<std::string> bytes = ReadBytes(m_commonData + L"zdvguard.exe.err");
    return bytes ? tessaly::Utf8ToWide(*bytes) : std::wstring();
}

std::wstring RemoteToolTipText(HWND toolTip, HWND owner, HWND tool) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(toolTip, &processId);
    tessaly::unique_kernel_handle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) return {};
    // The tool's description first, the text buffer it points to behind it.
    RemoteBuffer remote(process.get(), sizeof(TOOLINFOW) + kToolTipChars * sizeof(wchar_t));
    if (!remote.Address()) return {};
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = reinterpret_cast<wchar_t*>(remote.At(sizeof info));
    if (!::WriteProcessMemory(process.get(), remote.Address(), &info, sizeof info, nullptr)) return {};
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutW(toolTip, TTM_GETTEXTW, kToolTipChars, reinterpret_cast<LPARAM>(remote.Address()),
                               SMTO_ABORTIFHUNG, 5000, &ignored))
        return {};
    std::wstring text(kToolTipChars, L'\0');
    if (!::ReadProcessMemory(process.get(), remote.At(sizeof info), text.data(), kToolTipChars * sizeof(wchar_t),
                             nullptr))
        return {};
    const std::size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return text;
}

}  // namespace e2e
