// The home page's window: class registration, message dispatch, the controls made from the layout
// table, link colours and cursor, tooltips, and the drawn pictures (logos, dot, indicators).
#include "usrMainPage.h"

#include "PixelScale.h"

#include <commctrl.h>

#include "usrMainPageLayout.h"

namespace tessaly {
namespace {

constexpr wchar_t kPageClass[] = L"TessalyMainPage";
constexpr wchar_t kCloudTip[] = L"开启云查杀可及时查杀出更多病毒(云查杀仅做哈希查询，不上报内容)";
constexpr wchar_t kOfficeTip[] = L"开启Office插件之后，打开Office/wps会自动检测文档的安全";

bool RegisterPageClass(WNDPROC proc) { return RegisterFormWindowClass(kPageClass, proc); }

void FillEllipse(HDC dc, const RECT& r, COLORREF colour) {
    unique_hbrush brush(::CreateSolidBrush(colour));
    unique_hpen pen(::CreatePen(PS_SOLID, 1, colour));
    SelectedObject keepBrush(dc, brush.get());
    SelectedObject keepPen(dc, pen.get());
    ::Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

void DrawMark(HDC dc, const RECT& r, const wchar_t* mark, COLORREF colour) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    RECT box = r;
    ::DrawTextW(dc, mark, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// A round badge with a mark in it: the logos and the indicator pictures.
void DrawBadge(HDC dc, const RECT& r, COLORREF fill, const wchar_t* mark) {
    FillEllipse(dc, r, fill);
    DrawMark(dc, r, mark, RGB(255, 255, 255));
}

void DrawShapeBorder(HDC dc, const RECT& r, COLORREF colour) {
    unique_hpen pen(::CreatePen(PS_SOLID, 1, colour));
    SelectedObject keepPen(dc, pen.get());
    SelectedObject keepBrush(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

}  // namespace

usrMainPage::~usrMainPage() { Destroy(); }

bool usrMainPage::Create(HWND parent, int left, int top) noexcept {
    if (m_hwnd) return true;
    try {
        if (!RegisterPageClass(&usrMainPage::WindowProc)) return false;
        const PixelScale scale = ScreenScale();
        HWND hwnd = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                      left, top, scale.X(main_page::kFrameWidthTwips),
                                      scale.Y(main_page::kFrameHeightTwips), parent, nullptr,
                                      ::GetModuleHandleW(nullptr), this);
        if (!hwnd) return false;
        UserControl_Initialize();
        return true;
    } catch (...) {
        return m_hwnd != nullptr;
    }
}

void usrMainPage::Destroy() noexcept {
    if (m_hwnd) ::DestroyWindow(m_hwnd);
}

LRESULT CALLBACK usrMainPage::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        usrMainPage* self = nullptr;
        if (msg == WM_NCCREATE) {
            self = static_cast<usrMainPage*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->m_hwnd = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<usrMainPage*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->m_hwnd = nullptr;
            self->m_timerOn = false;
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        }
        return self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT usrMainPage::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_DESTROY:
        UserControl_Terminate();
        return 0;
    case WM_TIMER:
        if (wParam == kTimerCheckUpdateState) timeSetCheckUpdateState_Timer();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) != STN_CLICKED) break;
        switch (LOWORD(wParam)) {
        case kIdLblEnableMonitor: lblEnableMonitor_Click(); return 0;
        case kIdLblManualUpdate: lblManualUpdate_Click(); return 0;
        case kIdLblOpenScanLog: lblOpenScanLog_Click(); return 0;
        case kIdLblQuarentineOP: lblQuarentineOP_Click(); return 0;
        case kIdLblWebUpdateLog: lblWebUpdateLog_Click(); return 0;
        default: break;
        }
        break;
    case WM_DRAWITEM:
        if (DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_CTLCOLORSTATIC:
        return StaticColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
        if (IsLinkLabel(reinterpret_cast<HWND>(wParam))) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

void usrMainPage::CreateControls() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        m_font.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
        LOGFONTW big = metrics.lfMessageFont;
        big.lfHeight = big.lfHeight * 3 / 2;
        big.lfWeight = FW_BOLD;
        m_bigFont.reset(::CreateFontIndirectW(&big));
    }
    const PixelScale scale = ScreenScale();
    for (const main_page::ControlLayout& c : main_page::kControls) {
        HWND control = ::CreateWindowExW(0, L"STATIC", c.caption, c.style, scale.X(c.left), scale.Y(c.top),
                                         scale.X(c.width), scale.Y(c.height), m_hwnd,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                         ::GetModuleHandleW(nullptr), nullptr);
        HFONT font = c.id == kIdLblMonitorTip ? m_bigFont.get() : m_font.get();
        if (control && font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    // The indicator frames lie below their pictures and captions, the page frame below all.
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    ::SetWindowPos(Item(kIdShapeCloudScan), HWND_BOTTOM, 0, 0, 0, 0, flags);
    ::SetWindowPos(Item(kIdShapeOfficeAddin), HWND_BOTTOM, 0, 0, 0, 0, flags);
    ::SetWindowPos(Item(kIdFrameMainPage), HWND_BOTTOM, 0, 0, 0, 0, flags);

    HWND tips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!tips) return;
    auto addTip = [&](int id, const wchar_t* text) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = m_hwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(Item(id));
        tool.lpszText = const_cast<wchar_t*>(text);
        ::SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    };
    for (int id : {kIdLblCloudSanText, kIdImgCloudScan0, kIdImgCloudScan1}) addTip(id, kCloudTip);
    addTip(kIdLabel1, kOfficeTip);
}

bool usrMainPage::IsLinkLabel(HWND control) const {
    if (!control || ::GetParent(control) != m_hwnd || !::IsWindowEnabled(control)) return false;
    switch (::GetDlgCtrlID(control)) {
    case kIdLblEnableMonitor:
    case kIdLblManualUpdate:
    case kIdLblWebUpdateLog:
    case kIdLblOpenScanLog:
    case kIdLblQuarentineOP: return true;
    default: return false;
    }
}

LRESULT usrMainPage::StaticColours(HDC dc, HWND control) {
    COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    switch (::GetDlgCtrlID(control)) {
    case kIdLblMonitorTip: text = m_monitorColour; break;
    case kIdLblEnableMonitor: text = home_page::kOrange; break;
    case kIdLblManualUpdate:
        // A disabled link keeps the system's grey text.
        if (!::IsWindowEnabled(control)) return ::DefWindowProcW(m_hwnd, WM_CTLCOLORSTATIC,
                                                                 reinterpret_cast<WPARAM>(dc),
                                                                 reinterpret_cast<LPARAM>(control));
        text = m_updateRed ? home_page::kRed : ::GetSysColor(COLOR_HIGHLIGHT);
        break;
    case kIdLblWebUpdateLog:
    case kIdLblOpenScanLog:
    case kIdLblQuarentineOP: text = ::GetSysColor(COLOR_HIGHLIGHT); break;
    default: break;
    }
    ::SetTextColor(dc, text);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

bool usrMainPage::DrawPicture(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    switch (item.CtlID) {
    case kIdFrameMainPage: break;
    case kIdPicMainLogo0: DrawBadge(dc, r, RGB(46, 170, 90), L"\u2714"); break;
    case kIdPicMainLogo1: DrawBadge(dc, r, RGB(255, 192, 128), L"!"); break;
    case kIdShapeReddot: FillEllipse(dc, r, RGB(255, 0, 0)); break;
    case kIdImgCloudScan0: DrawBadge(dc, r, home_page::kIndicatorOnBorder, L"云"); break;
    case kIdImgCloudScan1: DrawBadge(dc, r, home_page::kIndicatorOffBorder, L"云"); break;
    case kIdImgOfficeAddin0: DrawBadge(dc, r, home_page::kIndicatorOnBorder, L"W"); break;
    case kIdImgOfficeAddin1: DrawBadge(dc, r, home_page::kIndicatorOffBorder, L"W"); break;
    case kIdShapeCloudScan: DrawShapeBorder(dc, r, m_cloudBorder); break;
    case kIdShapeOfficeAddin: DrawShapeBorder(dc, r, m_officeBorder); break;
    default: return false;
    }
    return true;
}

void usrMainPage::ShowItem(int id, bool visible) { ::ShowWindow(Item(id), visible ? SW_SHOWNA : SW_HIDE); }

void usrMainPage::SetItemText(int id, const std::wstring& text) {
    HWND control = Item(id);
    ::SetWindowTextW(control, text.c_str());
    ::InvalidateRect(control, nullptr, TRUE);
}

}  // namespace tessaly
