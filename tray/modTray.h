// The tray program's notification icon and the window procedure that receives its mouse messages,
// and the three programs the icon and the timers start. The icon, the kept form and menu, and the
// saved window procedure are module-wide: there is one icon per process.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstddef>
#include <string>

namespace tessaly::tray {

// The platform's NOTIFYICONDATAA in its first version: the fields up to the 64-byte tip. That is
// 88 bytes in a 32-bit program and 104 in a 64-bit one, where the handles are 8 bytes wide.
struct NotifyIconRecord {
    DWORD cbSize = 0;
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    std::array<char, 64> szTip{};
};
inline constexpr std::size_t kNotifyIconRecordSize = sizeof(void*) == 4 ? 88 : 104;
static_assert(sizeof(NotifyIconRecord) == kNotifyIconRecordSize);
static_assert(sizeof(NotifyIconRecord) == NOTIFYICONDATAA_V1_SIZE);
static_assert(offsetof(NotifyIconRecord, hWnd) == offsetof(NOTIFYICONDATAA, hWnd));
static_assert(offsetof(NotifyIconRecord, uCallbackMessage) == offsetof(NOTIFYICONDATAA, uCallbackMessage));
static_assert(offsetof(NotifyIconRecord, hIcon) == offsetof(NOTIFYICONDATAA, hIcon));
static_assert(offsetof(NotifyIconRecord, szTip) == offsetof(NOTIFYICONDATAA, szTip));

// The message the shell sends the form for the icon's mouse events; lParam names the event.
inline constexpr UINT kTrayCallbackMessage = 2025;
// uFlags of the three calls.
inline constexpr UINT kFlagsAdd = NIF_MESSAGE | NIF_ICON;  // 3
inline constexpr UINT kFlagsTip = NIF_TIP;                 // 4
inline constexpr UINT kFlagsDelete = 0;

// The shell broadcasts this registered message when it (re)creates the notification area.
UINT TaskbarCreatedMessage() noexcept;

// Keeps the form's window and its pop-up menu, subclasses the window with TrayWndProc (saving the
// procedure it had) and adds the icon with the form's small icon. False when the shell refused the
// icon (no notification area yet); the icon then comes with the shell's "TaskbarCreated".
bool AddTrayIcon(HWND form, HMENU menu) noexcept;
// The tip: the text in the system code page, cut at a character boundary to fit the field with
// its terminator. Shown by the icon at once.
bool SetTrayTip(const std::wstring& text) noexcept;
// Adds the kept icon again, with its tip: for a notification area that was not there yet when the
// program started, or that was made anew. True once the shell holds the icon.
bool ShowTrayIconAgain() noexcept;
// Asks the shell whether it still holds the kept icon (a modify that changes nothing) and adds it
// again when it does not: a notification area made anew without "TaskbarCreated" knows no icon of
// ours. True once the shell holds the icon.
bool KeepTrayIconShown() noexcept;
// Deletes the icon and gives the window its saved procedure back. Does nothing a second time.
void RemoveTrayIcon() noexcept;
// The record as the next call would send it (tests read the tip field from here).
NotifyIconRecord CurrentTrayRecord() noexcept;
// True between AddTrayIcon and RemoveTrayIcon.
bool IsTrayIconKept() noexcept;
// True while the shell holds the kept icon, as far as this program knows.
bool IsTrayIconShown() noexcept;

// The tip field for a text: its system code page bytes, at most 63 of them without splitting a
// character, then zeros.
std::array<char, 64> TipField(const std::wstring& text);

LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

// The program folder, computed once at start (with its trailing "\").
void SetProgramFolder(const std::wstring& folder);
const std::wstring& ProgramFolder() noexcept;

// Starts the main program shown, through explorer.exe so it runs as the desktop user.
void RunMainApp() noexcept;
// Starts the updater hidden with "/ui" and "/manual" as asked (see UpdaterArguments).
void RunUpdater(bool manual, bool ui) noexcept;
// Starts the guard shown, without arguments.
void RunGuard() noexcept;
// The updater's command tail: "/ui /manual", " /manual" (with its blank), "/ui" or nothing.
std::wstring UpdaterArguments(bool manual, bool ui);

}  // namespace tessaly::tray
