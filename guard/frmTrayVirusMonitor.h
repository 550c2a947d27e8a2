// The threat notice: how many infected documents a background scan found, the first one's path
// (its whole text as tool tip) and virus name, topmost in the bottom-right corner of the screen,
// closing itself 5 s after it is shown. The object owns its window, fonts and tool tip.
#pragma once

#include <windows.h>

#include <string>

#include "FormWindow.h"
#include "UniqueHandle.h"

namespace tessaly::guard {

class frmTrayVirusMonitor : public Form<frmTrayVirusMonitor> {
public:
    static constexpr wchar_t kClassName[] = L"TessalyGuardNotice";
    static constexpr wchar_t kCaption[] = L"发现病毒威胁";
    static constexpr int kIdLabel1 = 101;
    static constexpr int kIdLblVirusCount = 102;
    static constexpr int kIdLblVirusPath = 103;
    static constexpr int kIdLblVirusName = 104;
    static constexpr UINT_PTR kTimerAutoClose = 1;
    static constexpr UINT kAutoCloseMs = 5000;

    frmTrayVirusMonitor() = default;
    ~frmTrayVirusMonitor();

    // Makes the window (hidden) and places it in the corner; true when it exists.
    bool Load(HWND owner) noexcept;
    void lblVirusCount(const std::wstring& caption) noexcept;
    // One line: a caption wider than the row loses its middle; the tool tip shows toolTip whole.
    void lblVirusPath(const std::wstring& caption, const std::wstring& toolTip) noexcept;
    void lblVirusName(const std::wstring& caption) noexcept;
    // Shows the window without taking the focus from the user's work.
    void ShowModeless() noexcept;
    void EnableAutoClose() noexcept;

    [[nodiscard]] HWND Window() const noexcept { return m_hwnd; }
    [[nodiscard]] HWND Control(int id) const noexcept { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }
    [[nodiscard]] HWND ToolTip() const noexcept { return m_toolTip; }

private:
    friend struct WindowThunk<frmTrayVirusMonitor>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void Form_Load();
    void CreateControls();
    void CreateToolTip();
    void LayOutFirstRow() noexcept;
    void SizeToText(int id) noexcept;
    static SIZE TextSize(HWND label, const std::wstring& text) noexcept;
    static int TextWidth(HWND label, const std::wstring& text) noexcept;
    void PlaceAfter(int id, int leftId) noexcept;
    void PlaceAtScreenCorner() noexcept;
    void timerAutoClose_Timer() noexcept;
    LRESULT LabelColours(HDC dc, HWND label) noexcept;

    HWND m_toolTip = nullptr;
    unique_hfont m_font;
    unique_hfont m_boldFont;
    unique_hfont m_nameFont;
};

}  // namespace tessaly::guard
