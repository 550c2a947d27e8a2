// The settings page's window: class registration, message dispatch and the controls made from
// the layout table.
#include "UserSettingPage.h"

#include "PixelScale.h"

#include "WindowThunk.h"

#include "UserSettingPageLayout.h"

namespace tessaly {
namespace {

constexpr wchar_t kPageClass[] = L"TessalyUserSettingPage";

bool RegisterPageClass(WNDPROC proc) { return RegisterFormWindowClass(kPageClass, proc); }

}  // namespace

UserSettingPage::~UserSettingPage() { Destroy(); }

bool UserSettingPage::Create(HWND parent, int left, int top) noexcept {
    if (m_hwnd) return true;
    try {
        if (!RegisterPageClass(&WindowThunk<UserSettingPage>::Proc)) return false;
        // The page takes the frame's size: the frame fills it from the top-left corner.
        const PixelScale scale = ScreenScale();
        HWND hwnd = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                      left, top, scale.X(setting_page::kFrameWidthTwips),
                                      scale.Y(setting_page::kFrameHeightTwips), parent, nullptr,
                                      ::GetModuleHandleW(nullptr), this);
        if (!hwnd) return false;
        UserControl_Initialize();
        return true;
    } catch (...) {
        return m_hwnd != nullptr;
    }
}

void UserSettingPage::Destroy() noexcept {
    if (m_hwnd) ::DestroyWindow(m_hwnd);
}

LRESULT UserSettingPage::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED) break;
        switch (LOWORD(wParam)) {
        case kIdChkRightMenuScan:
        case kIdChkCloudScan:
        case kIdChkAutoRun:
        case kIdChkOfficeAddin:
        case kIdChkCloudfeedback: ToggleCheck(LOWORD(wParam)); return 0;
        case kIdCmdSaveSettings: cmdSaveSettings_Click(); return 0;
        default: break;
        }
        break;
    case WM_DRAWITEM:
        // The borderless frame shows only the page's background, which is already there.
        if (wParam == static_cast<WPARAM>(kIdFrameSettingPage)) return TRUE;
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Item(kIdLabel1)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, setting_page::kLabel1Colour);
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

void UserSettingPage::CreateControls() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        m_font.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
    const PixelScale scale = ScreenScale();
    for (const setting_page::ControlLayout& c : setting_page::kControls) {
        HWND control = ::CreateWindowExW(0, c.windowClass, c.caption, c.style, scale.X(c.left), scale.Y(c.top),
                                         scale.X(c.width), scale.Y(c.height), m_hwnd,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                         ::GetModuleHandleW(nullptr), nullptr);
        if (control && m_font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    }
    // The frame lies below every other control, so it never covers them.
    ::SetWindowPos(Item(kIdFrameSettingPage), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace tessaly
