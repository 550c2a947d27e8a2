// The notification icon, its window procedure and the program starts; see modTray.h.
#include "modTray.h"

#include <cstring>

#include "FaultLog.h"
#include "ProgramFiles.h"
#include "modCommon.h"

namespace tessaly::tray {
namespace {

constexpr wchar_t kUiSwitch[] = L"/ui";
constexpr wchar_t kManualSwitch[] = L"/manual";
// A modify that changes nothing: the shell's answer tells whether it holds the icon.
constexpr UINT kFlagsNothing = 0;

struct TrayState {
    HWND form = nullptr;
    HMENU menu = nullptr;
    WNDPROC savedProc = nullptr;
    NotifyIconRecord record{};
    bool kept = false;   // between AddTrayIcon and RemoveTrayIcon
    bool shown = false;  // the shell took the icon
    std::wstring programFolder;
};

TrayState& State() {
    static TrayState state;
    return state;
}

bool Notify(DWORD message, UINT flags) {
    NotifyIconRecord& record = State().record;
    record.uFlags = flags;
    return ::Shell_NotifyIconA(message, reinterpret_cast<PNOTIFYICONDATAA>(&record)) != FALSE;
}

HICON FormIcon(HWND form) {
    auto icon = reinterpret_cast<HICON>(::SendMessageW(form, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(::GetClassLongPtrW(form, GCLP_HICONSM));
    return icon;
}

// When the tray program runs elevated (started by the elevated main program), the message filter
// would hold back the shell's broadcast, which comes from a program of lower rights.
void LetTaskbarCreatedIn(HWND form) {
    if (const UINT message = TaskbarCreatedMessage())
        ::ChangeWindowMessageFilterEx(form, message, MSGFLT_ALLOW, nullptr);
}

// The icon into the notification area; an icon the shell already holds counts as added.
bool AddToShell() {
    TrayState& state = State();
    state.shown = Notify(NIM_ADD, kFlagsAdd) || Notify(NIM_MODIFY, kFlagsNothing);
    return state.shown;
}

void ShowTrayMenu() {
    const TrayState& state = State();
    if (!state.form || !state.menu) return;
    POINT at{};
    ::GetCursorPos(&at);
    // The menu of a hidden window closes on a click elsewhere only while that window is in the
    // foreground, and the message after it lets a second right click open the menu at once.
    ::SetForegroundWindow(state.form);
    ::TrackPopupMenu(state.menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, state.form, nullptr);
    ::PostMessageW(state.form, WM_NULL, 0, 0);
}

// A program that is not there is left alone without a word; one that is there but will not start
// is written to the error log, and the tray program carries on either way.
void StartIfPresent(const std::wstring& name, const std::wstring& args, std::int32_t windowStyle, bool viaExplorer,
                    const wchar_t* where) {
    const std::wstring path = State().programFolder + name;
    if (!DirLookup(path)) return;
    if (!ShellRunEx(path, args, windowStyle, viaExplorer)) LogFault(where, L"could not start " + path);
}

}  // namespace

UINT TaskbarCreatedMessage() noexcept {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

std::array<char, 64> TipField(const std::wstring& text) {
    std::array<char, 64> field{};
    std::size_t used = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t units =
            IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
        char bytes[8]{};
        const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data() + i, static_cast<int>(units), bytes,
                                                 static_cast<int>(sizeof bytes), nullptr, nullptr);
        // The last byte stays the terminator: the shell reads the tip up to it.
        if (length <= 0 || used + static_cast<std::size_t>(length) > field.size() - 1) break;
        std::memcpy(field.data() + used, bytes, static_cast<std::size_t>(length));
        used += static_cast<std::size_t>(length);
        i += units;
    }
    return field;
}

bool AddTrayIcon(HWND form, HMENU menu) noexcept {
    try {
        RemoveTrayIcon();
        TrayState& state = State();
        state.form = form;
        state.menu = menu;
        state.savedProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWndProc)));
        state.record = NotifyIconRecord{};
        state.record.cbSize = sizeof(NotifyIconRecord);
        state.record.hWnd = form;
        state.record.uID = 0;
        state.record.uCallbackMessage = kTrayCallbackMessage;
        state.record.hIcon = FormIcon(form);
        state.kept = true;
        LetTaskbarCreatedIn(form);
        return AddToShell();
    } catch (...) {
        LogCaughtFault(L"AddTrayIcon");
        return false;
    }
}

bool SetTrayTip(const std::wstring& text) noexcept {
    try {
        State().record.szTip = TipField(text);
        return State().kept && Notify(NIM_MODIFY, kFlagsTip);
    } catch (...) {
        LogCaughtFault(L"SetTrayTip");
        return false;
    }
}

bool ShowTrayIconAgain() noexcept {
    try {
        TrayState& state = State();
        if (!state.kept) return false;
        if (!AddToShell()) return false;
        if (state.record.szTip[0] != '\0') Notify(NIM_MODIFY, kFlagsTip);
        return true;
    } catch (...) {
        LogCaughtFault(L"ShowTrayIconAgain");
        return false;
    }
}

bool KeepTrayIconShown() noexcept {
    TrayState& state = State();
    if (!state.kept) return false;
    if (Notify(NIM_MODIFY, kFlagsNothing)) return state.shown = true;
    return ShowTrayIconAgain();
}

void RemoveTrayIcon() noexcept {
    TrayState& state = State();
    if (!state.kept) return;
    state.kept = false;
    state.shown = false;
    Notify(NIM_DELETE, kFlagsDelete);
    if (state.savedProc && ::IsWindow(state.form))
        ::SetWindowLongPtrW(state.form, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state.savedProc));
    state.savedProc = nullptr;
}

NotifyIconRecord CurrentTrayRecord() noexcept { return State().record; }

bool IsTrayIconKept() noexcept { return State().kept; }

bool IsTrayIconShown() noexcept { return State().shown; }

LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    // Read first: the exit item puts the saved procedure back while this call is still running.
    const WNDPROC saved = State().savedProc;
    try {
        if (msg == kTrayCallbackMessage && lParam == WM_LBUTTONUP) {
            RunMainApp();
            return 0;
        }
        if (msg == kTrayCallbackMessage && lParam == WM_RBUTTONUP) {
            ShowTrayMenu();
            return 0;
        }
        // A new notification area knows no icon of ours.
        if (msg == TaskbarCreatedMessage() && msg != 0) ShowTrayIconAgain();
    } catch (...) {
        LogCaughtFault(L"TrayWndProc");
    }
    return saved ? ::CallWindowProcW(saved, hwnd, msg, wParam, lParam) : ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void SetProgramFolder(const std::wstring& folder) { State().programFolder = folder; }

const std::wstring& ProgramFolder() noexcept { return State().programFolder; }

std::wstring UpdaterArguments(bool manual, bool ui) {
    std::wstring args;
    if (ui) args = kUiSwitch;
    if (manual) args += std::wstring(L" ") + kManualSwitch;
    return args;
}

void RunMainApp() noexcept {
    try {
        StartIfPresent(kMainProgramFile, L"", kWindowNormal, true, L"RunMainApp");
    } catch (...) {
        LogCaughtFault(L"RunMainApp");
    }
}

void RunUpdater(bool manual, bool ui) noexcept {
    try {
        StartIfPresent(kUpdaterProgramFile, UpdaterArguments(manual, ui), kWindowHidden, false, L"RunUpdater");
    } catch (...) {
        LogCaughtFault(L"RunUpdater");
    }
}

void RunGuard() noexcept {
    try {
        StartIfPresent(kGuardProgramFile, L"", kWindowNormal, false, L"RunGuard");
    } catch (...) {
        LogCaughtFault(L"RunGuard");
    }
}

}  // namespace tessaly::tray
