// What the main window does: start-up in its fixed order, the engine connection, the "/sf "
// command line (its own, and those later starts hand over), the timers, the contact link and the
// exit.
#include "frmMain.h"

#include <shlwapi.h>

#include "CommandArgs.h"
#include "DoEvents.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "MainStartup.h"
#include "ClsPathLib.h"
#include "PrevInstance.h"
#include "ProgramFiles.h"
#include "ProgramTitle.h"
#include "ScanHandOver.h"
#include "frmShowMsg.h"
#include "modCommon.h"

namespace tessaly {
namespace {

constexpr wchar_t kMainMarker[] = L"zdvmain";
constexpr wchar_t kInstallingMarker[] = L"zdvinstalling";
constexpr std::int32_t kMainClientId = 1000;
constexpr int kExitWaitLimit = 60;
constexpr UINT kExitWaitStepMs = 1000;

FILETIME ProcessStartTime() {
    FILETIME created{}, exited{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    return created;
}

// A typed relative path means the folder the user typed it in, which the running window never saw.
// A quoted path stays as typed, so the message names what the user gave.
std::wstring AbsolutePath(const std::wstring& path) {
    if (path.empty() || path.find(L'"') != std::wstring::npos || !::PathIsRelativeW(path.c_str())) return path;
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

}  // namespace

frmMain::frmMain() = default;

frmMain::~frmMain() { Unload(); }

bool frmMain::Create() noexcept {
    try {
        if (!CreateFormWindow()) return false;
        CreatePages();
        return Form_Load();
    } catch (...) {
        LogCaughtFault(L"frmMain::Create");
        return m_hwnd != nullptr;
    }
}

int frmMain::Run() noexcept {
    RunUntilClosed([this](MSG& msg) {
        if (usrWebTools1.PreTranslateMessage(msg)) return true;
        return m_notesDialog && m_notesDialog->Window() && ::IsDialogMessageW(m_notesDialog->Window(), &msg);
    });
    Form_Terminate();
    return 0;
}

// ---- Start-up -------------------------------------------------------------------------------------

bool frmMain::Form_Load() {
    // A second instance ends before it touches anything the first one owns; its "/sf " path goes
    // to the window that runs.
    if (IsPrevInstanceRunning()) {
        HandOverToRunningWindow();
        return false;
    }
    m_appFolder = GetAppFolder();
    ::SetCurrentDirectoryW(m_appFolder.c_str());
    scan_hand_over::DropRequestsOlderThan(ProcessStartTime());
    ::SetTimer(m_hwnd, kTimerHandOver, scan_hand_over::kPickUpIntervalMs, nullptr);
    CheckOfficeProcesses();
    ::SetWindowTextW(m_hwnd, main_startup::kWindowCaption);
    CreateRunMarker(kMainMarker);
    m_settingsPath = GetConfigFilePath();
    EnsureInstalledUUID(Wmi(), m_settingsPath);
    m_webServerHost = GetWebServerHost(m_settingsPath);
    InitCommonControlClasses();
    InitFormState();
    m_pipe = std::make_unique<ClsPipeShareMem>();
    const bool installed = CheckInstallation();
    InitTopButtons();

    usrMainPage1.showLoadingTip(true);
    ::EnableWindow(m_hwnd, FALSE);
    ::ShowWindow(m_hwnd, SW_SHOW);
    DoEvents();
    if (installed && m_hwnd) ConnectEngine();
    if (!m_hwnd) return true;  // an installation began during the wait and closed the window
    usrMainPage1.showLoadingTip(false);
    ::EnableWindow(m_hwnd, TRUE);
    HandleCommandLine();
    return true;
}

void frmMain::InitFormState() {
    m_hoverIndex = -1;
    ::SetWindowTextW(Item(kIdLblLoadEngineError), main_startup::EngineFailureText().c_str());
}

void frmMain::CheckOfficeProcesses() {
    main_startup::OfficeProcessOps ops;
    ops.isRunning = [this](const std::wstring& name) { return Wmi().IsExistProcess(name); };
    ops.terminate = [this](const std::wstring& name) { Wmi().TerminateProcess(name); };
    ops.askToEnd = [this] {
        return ShowMessage(main_startup::kOfficeQuestionText, MB_OKCANCEL | MB_ICONQUESTION,
                           main_startup::kOfficeQuestionTitle) == IDOK;
    };
    main_startup::CheckOfficeProcesses(ops);
}

// False when the installation is incomplete or its folder unusable; the user has been told.
bool frmMain::CheckInstallation() {
    const std::wstring missing = main_startup::GetMissingEngineFiles(m_appFolder);
    if (!missing.empty()) {
        m_startupFailed = true;
        const std::wstring text = std::wstring(main_startup::kMissingFilesPrefix) + L"\r\n" + missing;
        ShowLoadEngineError(text, true);
        ShowMessage(text, MB_OK | MB_ICONERROR);
        return false;
    }
    if (ClsPathLib().PathHasUnicode(m_appFolder)) {
        m_startupFailed = true;
        ShowLoadEngineError(main_startup::kUnicodeFolderText, false);
        ShowMessage(main_startup::kUnicodeFolderText, MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

void frmMain::ConnectEngine() {
    if (m_pipe->ConnectPipeServer(true, kMainClientId)) {
        ShowItem(kIdLblLoadEngineError, false);
        usrScanCleanPage1.SetPipeMemObject(m_pipe.get());
        return;
    }
    if (!m_hwnd) return;
    const std::wstring text = main_startup::EngineFailureText();
    ShowLoadEngineError(text, false);  // reached only with a complete installation: the usual size
    ShowMessage(text, MB_OK | MB_ICONERROR);
}

void frmMain::HandleCommandLine() {
    const std::optional<std::wstring> path = main_startup::ScanPathFromArguments(CommandArguments());
    if (path) ScanCommandLinePath(*path);
}

// A path the page would pass over in silence is named to the user instead.
void frmMain::ScanCommandLinePath(const std::wstring& path) {
    if (const std::optional<std::wstring> problem = main_startup::ScanPathProblem(path)) {
        ShowMessage(*problem, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // The page changes unseen, then shows at once. Drawing is held back rather than the window
    // hidden: a top-level window that is hidden and shown again costs seconds without a window
    // manager (Wine on a bare X server), and the scan waited for it.
    ::SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
    picTopBtn_Click(1);
    ::SendMessageW(m_hwnd, WM_SETREDRAW, TRUE, 0);
    ::RedrawWindow(m_hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    ::ShowWindow(m_hwnd, SW_SHOW);
    usrScanCleanPage1.ScanSoureID(4);
    usrScanCleanPage1.ScanDirOrFiles(path, false);
}

void frmMain::HandOverToRunningWindow() {
    const std::optional<std::wstring> arguments = main_startup::ScanPathFromArguments(CommandArguments());
    if (!arguments) return;  // a plain second start ends silently
    const std::wstring path = AbsolutePath(*arguments);
    if (const std::optional<std::wstring> problem = main_startup::ScanPathProblem(path)) {
        ShowMessage(*problem, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // The running window may come to the front when it takes the path.
    ::AllowSetForegroundWindow(ASFW_ANY);
    if (scan_hand_over::HandOverScanPath(path) == scan_hand_over::HandOverResult::Taken) return;
    ShowMessage(std::wstring(main_startup::kHandOverFailedText) + L"\r\n" + path, MB_OK | MB_ICONEXCLAMATION);
}

void frmMain::timerHandOver_Timer() {
    // A window on its way out takes nothing: the later start then tells its user.
    if (m_unloading || !::IsWindowVisible(m_hwnd)) return;
    for (std::wstring& path : scan_hand_over::TakeScanRequests()) m_pendingScans.push_back(std::move(path));
    RunPendingScan();
}

// One waiting path, once the page is idle, the user has left the results of a clean and no
// dialog holds the window.
void frmMain::RunPendingScan() {
    if (m_pendingScans.empty() || m_runningPendingScan || !::IsWindowEnabled(m_hwnd)) return;
    if (usrScanCleanPage1.WorkStepState() != 0 || usrScanCleanPage1.IsWorkLoopRunning()) return;
    if (usrScanCleanPage1.IsShowingCleanOutcome()) return;
    const std::wstring path = m_pendingScans.front();
    m_pendingScans.pop_front();
    m_runningPendingScan = true;
    if (::IsIconic(m_hwnd)) ::ShowWindow(m_hwnd, SW_RESTORE);
    ::SetForegroundWindow(m_hwnd);
    ScanCommandLinePath(path);
    m_runningPendingScan = false;
}

void frmMain::ShowLastUpdateNotes() {
    const std::optional<std::wstring> notes = main_startup::TakeLastUpdateNotes(m_appFolder);
    if (!notes || !m_hwnd) return;
    m_notesDialog = std::make_unique<frmShowMsg>();
    if (!m_notesDialog->Load(m_hwnd)) return;
    m_notesDialog->Caption(main_startup::kNotesCaption);
    m_notesDialog->Title(main_startup::kNotesTitle);
    m_notesDialog->Message(*notes);
    m_notesDialog->ShowModeless();
}

// ---- Exit -----------------------------------------------------------------------------------------

void frmMain::Form_Unload(bool& cancel) {
    if (m_unloading) {
        cancel = true;  // the exit is already waiting for the scan to stop
        return;
    }
    if (usrScanCleanPage1.WorkStepState() != 0) {
        if (ShowMessage(main_startup::kExitQuestionText, MB_YESNO | MB_ICONEXCLAMATION,
                        main_startup::kExitQuestionTitle) != IDYES) {
            cancel = true;
            return;
        }
        // The scan stops only once control is back in its own loop, so the wait for it runs on a
        // timer instead of inside this handler, which may itself be running inside the scan.
        ::ShowWindow(m_hwnd, SW_HIDE);
        usrScanCleanPage1.BreakScanClean(true);
        // Results that only wait for the user's decision have nothing to stop: leave at once, or
        // a hidden process would hold the program for a minute and turn every new start away.
        if (!usrScanCleanPage1.IsWorkLoopRunning()) {
            DeleteRunMarker(kMainMarker);
            return;
        }
        m_unloading = true;
        m_exitWaitTicks = 0;
        ::SetTimer(m_hwnd, kTimerExitWait, kExitWaitStepMs, nullptr);
        cancel = true;
        return;
    }
    DeleteRunMarker(kMainMarker);
}

void frmMain::ExitWait_Timer() {
    ++m_exitWaitTicks;
    const bool stopped = usrScanCleanPage1.WorkStepState() == 0 || !usrScanCleanPage1.IsWorkLoopRunning();
    if (!stopped && m_exitWaitTicks < kExitWaitLimit) return;
    ::KillTimer(m_hwnd, kTimerExitWait);
    FinishUnload();
}

void frmMain::FinishUnload() {
    ::KillTimer(m_hwnd, kTimerHandOver);
    DeleteRunMarker(kMainMarker);
    Unload();
}

void frmMain::RequestUnload() {
    bool cancel = false;
    Form_Unload(cancel);
    if (!cancel) Unload();
}

void frmMain::Form_Terminate() noexcept {
    if (!m_pipe) return;
    m_pipe->SendMsgToUTF8HexStr(kClientExitText);
    m_pipe.reset();
}

// ---- Timers and the contact link ----------------------------------------------------------------

void frmMain::timerCheckUpgrading_Timer() {
    if (!m_watchInstall || !IsRunMarkerPresent(kInstallingMarker)) return;
    m_watchInstall = false;
    ::KillTimer(m_hwnd, kTimerCheckUpgrading);
    if (m_unloading) return;  // the exit already waits for the scan to stop
    // The installation waits for this program. Only a running scan or clean is worth the
    // question; results that wait for the user's decision are kept in the scan log.
    if (usrScanCleanPage1.IsWorkLoopRunning()) {
        RequestUnload();
        return;
    }
    usrScanCleanPage1.BreakScanClean(true);
    FinishUnload();
}

void frmMain::timeShowContact_Timer() {
    ShowItem(kIdLblContactUs, true);
    ::KillTimer(m_hwnd, kTimerShowContact);
    ShowLastUpdateNotes();
}

// While an installation runs the programs it replaces must not start; the tray program it starts
// again afterwards starts the guard and the update check.
void frmMain::timeshellUpdate_Timer() {
    ::KillTimer(m_hwnd, kTimerShellUpdate);
    if (IsRunMarkerPresent(kInstallingMarker)) return;
    const std::wstring updater = m_appFolder + kUpdaterProgramFile;
    if (DirLookup(updater)) ShellRun(updater, L"/manual", 0);
}

void frmMain::timeStartGuard_Timer() {
    ::KillTimer(m_hwnd, kTimerStartGuard);
    if (IsRunMarkerPresent(kInstallingMarker)) return;
    const std::wstring guard = m_appFolder + kGuardProgramFile;
    if (DirLookup(guard)) ShellRun(guard, L"", 1);
}

void frmMain::lblContactUs_Click() {
    // Style 2: minimised with the focus; the browser behind Explorer opens the address.
    ShellRun(GetExplorerPath(), m_webServerHost + L"/tessaly/contactus", 2);
}

// ---- Helpers ----------------------------------------------------------------------------------------

int frmMain::ShowMessage(const std::wstring& text, UINT type, const wchar_t* title) const {
    return ::MessageBoxW(m_hwnd, text.c_str(), title ? title : kDrosselTitle, type);
}

ClsWMI& frmMain::Wmi() {
    if (!m_wmi) m_wmi = std::make_unique<ClsWMI>();
    return *m_wmi;
}

}  // namespace tessaly
