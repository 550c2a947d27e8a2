// The settings page's window: class registration, message dispatch and the controls made from
// the layout table.
#include "UserSettingPage.h"

#include "FaultLog.h"
#include "FormLayout.h"
#include "PixelScale.h"

#include "UserSettingPageLayout.h"

namespace tessaly {
namespace {

constexpr wchar_t kPageClass[] = L"TessalyUserSettingPage";

}  // namespace

UserSettingPage::~UserSettingPage() { Unload(); }

bool UserSettingPage::Create(HWND parent, int left, int top) noexcept {
    if (m_hwnd) return true;
    try {
        // The page takes the frame's size: the frame fills it from the top-left corner.
        const SIZE twips{setting_page::kFrameWidthTwips, setting_page::kFrameHeightTwips};
        if (!CreatePage(kPageClass, parent, {left, top}, twips)) return false;
        UserControl_Initialize();
        return true;
    } catch (...) {
        LogCaughtFault(L"UserSettingPage::Create");
        return m_hwnd != nullptr;
    }
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
    m_font = CreateUiFont({});
    CreateLayoutControls(m_hwnd, setting_page::kControls, ScreenScale(), m_font.get());
    // The frame lies below every other control, so it never covers them.
    ::SetWindowPos(Item(kIdFrameSettingPage), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace tessaly
