// The threat notice; see frmTrayVirusMonitor.h. Controls come from a layout table in twips; the
// two labels of the first row take the width of their text, as the notice's design sizes them.
#include "frmTrayVirusMonitor.h"

#include <commctrl.h>

#include <array>

#include "FaultLog.h"
#include "FormLayout.h"
#include "NoticeText.h"
#include "ScreenSize.h"
#include "UiFont.h"
#include "modCommon.h"

namespace tessaly::guard {
namespace {

constexpr int kInnerWidthTwips = 6810;
constexpr int kInnerHeightTwips = 2360;
// From the screen's right and bottom edges, beyond the window's inner size, in pixels.
constexpr int kCornerGapRight = 150;
constexpr int kCornerGapBottom = 100;

constexpr COLORREF kCountColor = RGB(192, 0, 0);
constexpr COLORREF kNameColor = RGB(255, 0, 0);
constexpr wchar_t kFaceName[] = L"宋体";

constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kOneLine = WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
using F = frmTrayVirusMonitor;
constexpr std::array<ControlLayout, 4> kControls{{
    {F::kIdLabel1, L"STATIC", L"发现病毒威胁数：", kLabel, 240, 240, 2400, 315},
    {F::kIdLblVirusCount, L"STATIC", L"1", kLabel, 2640, 240, 600, 315},
    // One line (a wrapped path would lose its second line); SS_NOTIFY lets the tool tip see the mouse.
    {F::kIdLblVirusPath, L"STATIC", L"filepath", kOneLine | SS_NOTIFY, 240, 900, 6330, 315},
    {F::kIdLblVirusName, L"STATIC", L"virusname", kLabel, 240, 1560, 6330, 360},
}};

RECT ClientRectOf(HWND window, HWND parent) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

frmTrayVirusMonitor::~frmTrayVirusMonitor() { Unload(); }

bool frmTrayVirusMonitor::Load(HWND owner) noexcept {
    const PixelScale scale = ScreenScale();
    FormSpec spec;
    spec.className = kClassName;
    spec.caption = kCaption;
    spec.style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    spec.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    spec.client = {scale.X(kInnerWidthTwips), scale.Y(kInnerHeightTwips)};
    // Form_Load moves it to the screen's corner before it is ever shown.
    return CreateTopLevel(spec, owner);
}

LRESULT frmTrayVirusMonitor::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            Form_Load();
            return 0;
        case WM_TIMER:
            if (wParam == kTimerAutoClose) timerAutoClose_Timer();
            return 0;
        case WM_CTLCOLORSTATIC:
            return LabelColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;  // a click neither takes the focus nor does anything else
        case WM_DESTROY:
            ::KillTimer(m_hwnd, kTimerAutoClose);
            m_toolTip = nullptr;  // it goes with its owner
            return 0;
        default:
            return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
}

void frmTrayVirusMonitor::Form_Load() {
    CreateControls();
    CreateToolTip();
    PlaceAtScreenCorner();
}

void frmTrayVirusMonitor::CreateControls() {
    m_font = CreateUiFont(FontSpec{kFaceName, 105, 100, FW_NORMAL, GB2312_CHARSET});
    m_boldFont = CreateUiFont(FontSpec{kFaceName, 105, 100, FW_BOLD, GB2312_CHARSET});
    m_nameFont = CreateUiFont(FontSpec{kFaceName, 120, 100, FW_NORMAL, GB2312_CHARSET});
    const PixelScale scale = ScreenScale();
    for (const ControlLayout& control : kControls) {
        HFONT font = m_font.get();
        if (control.id == kIdLblVirusCount) font = m_boldFont.get();
        if (control.id == kIdLblVirusName) font = m_nameFont.get();
        CreateLayoutControl(m_hwnd, control, scale, font);
    }
    LayOutFirstRow();
}

void frmTrayVirusMonitor::LayOutFirstRow() noexcept {
    SizeToText(kIdLabel1);
    SizeToText(kIdLblVirusCount);
    PlaceAfter(kIdLblVirusCount, kIdLabel1);
}

void frmTrayVirusMonitor::CreateToolTip() {
    (void)InitCommonControlClasses();
    m_toolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!m_toolTip) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdLblVirusPath));
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // Long paths wrap instead of running off the screen.
    ::SendMessageW(m_toolTip, TTM_SETMAXTIPWIDTH, 0, ::GetSystemMetrics(SM_CXSCREEN) / 2);
}

SIZE frmTrayVirusMonitor::TextSize(HWND label, const std::wstring& text) noexcept {
    SIZE size{};
    WindowDc dc(label);
    if (!dc.get()) return size;
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
    SelectedObject selected(dc.get(), font);
    if (!::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size)) return SIZE{};
    return size;
}

int frmTrayVirusMonitor::TextWidth(HWND label, const std::wstring& text) noexcept { return TextSize(label, text).cx; }

void frmTrayVirusMonitor::SizeToText(int id) noexcept {
    HWND label = Control(id);
    if (!label) return;
    wchar_t text[256]{};
    const int length = ::GetWindowTextW(label, text, static_cast<int>(std::size(text)));
    const SIZE size = TextSize(label, std::wstring(text, static_cast<std::size_t>(length)));
    if (size.cx == 0) return;
    ::SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmTrayVirusMonitor::PlaceAfter(int id, int leftId) noexcept {
    HWND label = Control(id);
    HWND left = Control(leftId);
    if (!label || !left) return;
    const RECT before = ClientRectOf(left, m_hwnd);
    const RECT own = ClientRectOf(label, m_hwnd);
    // Both rows share their baseline: the bold count sits on the title's bottom edge.
    const int top = before.bottom - (own.bottom - own.top);
    ::SetWindowPos(label, nullptr, before.right, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmTrayVirusMonitor::PlaceAtScreenCorner() noexcept {
    int screenWidth = 0, screenHeight = 0;
    GetScreenSize(screenWidth, screenHeight);
    RECT inner{};
    ::GetClientRect(m_hwnd, &inner);
    const int x = screenWidth - (inner.right + kCornerGapRight);
    const int y = screenHeight - (inner.bottom + kCornerGapBottom);
    ::SetWindowPos(m_hwnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void frmTrayVirusMonitor::lblVirusCount(const std::wstring& caption) noexcept {
    if (HWND label = Control(kIdLblVirusCount)) ::SetWindowTextW(label, caption.c_str());
    LayOutFirstRow();
}

void frmTrayVirusMonitor::lblVirusPath(const std::wstring& caption, const std::wstring& toolTip) noexcept {
    HWND label = Control(kIdLblVirusPath);
    if (!label) return;
    try {
        RECT row{};
        ::GetClientRect(label, &row);
        const auto width = [label](const std::wstring& text) { return TextWidth(label, text); };
        ::SetWindowTextW(label, FitInMiddle(caption, row.right, width).c_str());
    } catch (...) {
        LogCaughtFault(L"frmTrayVirusMonitor::lblVirusPath");
    }
    if (!m_toolTip) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(label);
    tool.lpszText = const_cast<wchar_t*>(toolTip.c_str());
    ::SendMessageW(m_toolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void frmTrayVirusMonitor::lblVirusName(const std::wstring& caption) noexcept {
    if (HWND label = Control(kIdLblVirusName)) ::SetWindowTextW(label, caption.c_str());
}

void frmTrayVirusMonitor::ShowModeless() noexcept {
    if (m_hwnd) ::ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
}

void frmTrayVirusMonitor::EnableAutoClose() noexcept {
    if (m_hwnd) ::SetTimer(m_hwnd, kTimerAutoClose, kAutoCloseMs, nullptr);
}

void frmTrayVirusMonitor::timerAutoClose_Timer() noexcept {
    ::KillTimer(m_hwnd, kTimerAutoClose);
    Unload();
}

LRESULT frmTrayVirusMonitor::LabelColours(HDC dc, HWND label) noexcept {
    const int id = ::GetDlgCtrlID(label);
    COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    if (id == kIdLblVirusCount) text = kCountColor;
    if (id == kIdLblVirusName) text = kNameColor;
    ::SetTextColor(dc, text);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace tessaly::guard
