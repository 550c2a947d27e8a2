// Reading and driving the windows of another process: top-level windows by process and caption,
// controls by identifier, their texts and states, and the clicks a user would make.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// Top-level windows of the process, optionally only those of one class.
std::vector<HWND> TopWindowsOf(DWORD processId, const wchar_t* windowClass = nullptr);
// The first top-level window of the process with exactly this caption, or nullptr.
HWND FindTopWindow(DWORD processId, const std::wstring& caption, const wchar_t* windowClass = nullptr);
// The first window below root (at any depth) with this control identifier, or nullptr.
HWND FindDescendant(HWND root, int id);

// The caption the system keeps for the window; sends no message to its thread.
std::wstring WindowCaption(HWND window);
// The control's text through WM_GETTEXT, which also reaches edit controls of another process.
std::wstring ControlText(HWND control);
// The window's own visible style, whatever its parents show.
bool HasVisibleStyle(HWND window);

// A press and release of the left button inside the window, as the mouse would send them.
void PostClick(HWND window);
// A press of a push button.
void PostButtonClick(HWND button);
void PostClose(HWND window);

}  // namespace e2e
