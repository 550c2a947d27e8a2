#include "RemoteWindows.h"

namespace e2e {
namespace {

constexpr UINT kTextTimeoutMs = 3000;

struct TopSearch {
    DWORD processId;
    const wchar_t* windowClass;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<TopSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId) return TRUE;
    if (search.windowClass) {
        wchar_t name[256]{};
        ::GetClassNameW(window, name, 256);
        if (::lstrcmpiW(name, search.windowClass) != 0) return TRUE;
    }
    search.found.push_back(window);
    return TRUE;
}

struct IdSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<IdSearch*>(param);
    if (::GetDlgCtrlID(window) != search.id) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

std::vector<HWND> TopWindowsOf(DWORD processId, const wchar_t* windowClass) {
    TopSearch search{processId, windowClass, {}};
    ::EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTopWindow(DWORD processId, const std::wstring& caption, const wchar_t* windowClass) {
    for (HWND window : TopWindowsOf(processId, windowClass))
        if (WindowCaption(window) == caption) return window;
    return nullptr;
}

HWND FindDescendant(HWND root, int id) {
    IdSearch search{id, nullptr};
    ::EnumChildWindows(root, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowCaption(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ControlText(HWND control) {
    DWORD_PTR length = 0;
    // A window whose thread is busy still has the caption the system keeps for it.
    if (!::SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs, &length))
        return WindowCaption(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, kTextTimeoutMs, &copied))
        return {};
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

bool HasVisibleStyle(HWND window) {
    return window && (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void PostClick(HWND window) {
    const LPARAM inside = MAKELPARAM(8, 8);
    ::PostMessageW(window, WM_MOUSEMOVE, 0, inside);
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    ::PostMessageW(window, WM_LBUTTONUP, 0, inside);
}

void PostButtonClick(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

void PostClose(HWND window) { ::PostMessageW(window, WM_CLOSE, 0, 0); }

}  // namespace e2e
