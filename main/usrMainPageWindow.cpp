// The home page's window: class registration, message dispatch, the controls made from the layout
// table, link colours and cursor, tooltips, the pictures (logos, indicators) and the shapes (dot,
// indicator frames).
#include "usrMainPage.h"

#include <commctrl.h>

#include "FaultLog.h"
#include "FormLayout.h"
#include "Pictures.h"
#include "PixelScale.h"

#include "usrMainPageLayout.h"

namespace tessaly {
namespace {

using pictures::Picture;

constexpr wchar_t kPageClass[] = L"TessalyMainPage";
constexpr wchar_t kCloudTip[] = L"开启云查杀可及时查杀出更多病毒(云查杀仅做哈希查询，不上报内容)";
constexpr wchar_t kOfficeTip[] = L"开启Office插件之后，打开Office/wps会自动检测文档的安全";

void FillEllipse(HDC dc, const RECT& r, COLORREF colour) {
    unique_hbrush brush(::CreateSolidBrush(colour));
    unique_hpen pen(::CreatePen(PS_SOLID, 1, colour));
    SelectedObject keepBrush(dc, brush.get());
    SelectedObject keepPen(dc, pen.get());
    ::Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

void DrawShapeBorder(HDC dc, const RECT& r, COLORREF colour) {
    unique_hpen pen(::CreatePen(PS_SOLID, 1, colour));
    SelectedObject keepPen(dc, pen.get());
    SelectedObject keepBrush(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

}  // namespace

usrMainPage::~usrMainPage() { Unload(); }

bool usrMainPage::Create(HWND parent, int left, int top) noexcept {
    if (m_hwnd) return true;
    try {
        const SIZE twips{main_page::kFrameWidthTwips, main_page::kFrameHeightTwips};
        if (!CreatePage(kPageClass, parent, {left, top}, twips)) return false;
        UserControl_Initialize();
        return true;
    } catch (...) {
        LogCaughtFault(L"usrMainPage::Create");
        return m_hwnd != nullptr;
    }
}

LRESULT usrMainPage::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_DESTROY:
        UserControl_Terminate();
        // The timer dies with the window.
        m_timerOn = false;
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
    m_font = CreateUiFont({});
    if (m_font) m_bigFont = CreateUiFont({nullptr, 0, 150, FW_BOLD});
    CreateLayoutControls(m_hwnd, main_page::kControls, ScreenScale(), m_font.get());
    if (m_bigFont)
        ::SendMessageW(Item(kIdLblMonitorTip), WM_SETFONT, reinterpret_cast<WPARAM>(m_bigFont.get()), FALSE);
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
    case kIdPicMainLogo0: pictures::Draw(dc, r, Picture::MainLogoProtected); break;
    case kIdPicMainLogo1: pictures::Draw(dc, r, Picture::MainLogoUnprotected); break;
    case kIdShapeReddot: FillEllipse(dc, r, RGB(255, 0, 0)); break;
    case kIdImgCloudScan0: pictures::Draw(dc, r, Picture::CloudScanOn); break;
    case kIdImgCloudScan1: pictures::Draw(dc, r, Picture::CloudScanOff); break;
    case kIdImgOfficeAddin0: pictures::Draw(dc, r, Picture::OfficeAddinOn); break;
    case kIdImgOfficeAddin1: pictures::Draw(dc, r, Picture::OfficeAddinOff); break;
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
