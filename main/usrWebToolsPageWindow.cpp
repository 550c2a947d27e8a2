// The web tools page's window: class registration, message dispatch and the tip label.
#include "usrWebToolsPage.h"

#include "FaultLog.h"
#include "FormLayout.h"
#include "PixelScale.h"

#include "usrWebToolsPageLayout.h"

namespace tessaly {
namespace {

constexpr wchar_t kPageClass[] = L"TessalyWebToolsPage";

}  // namespace

usrWebToolsPage::~usrWebToolsPage() {
    Unload();
    // The parent may have taken the window with it already; the browser goes in any case.
    UserControl_Terminate();
}

bool usrWebToolsPage::Create(HWND parent, int left, int top) noexcept {
    if (m_hwnd) return true;
    try {
        const SIZE twips{web_tools::kFrameWidthTwips, web_tools::kFrameHeightTwips};
        if (!CreatePage(kPageClass, parent, {left, top}, twips)) return false;
        UserControl_Initialize();
        return true;
    } catch (...) {
        LogCaughtFault(L"usrWebToolsPage::Create");
        return m_hwnd != nullptr;
    }
}

LRESULT usrWebToolsPage::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_SIZE:
        UserControl_Resize();
        return 0;
    case WM_DESTROY:
        // The browser's window is a child of this one: it has to close while this window lives.
        UserControl_Terminate();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

void usrWebToolsPage::CreateControls() {
    m_font = CreateUiFont({});
    const web_tools::TipLayout& tip = web_tools::kFailedTip;
    CreateLayoutControl(m_hwnd,
                        {kIdLblFailedTip, L"STATIC", web_tools::kFailedTipText,
                         WS_CHILD | WS_CLIPSIBLINGS | SS_CENTER | SS_NOPREFIX, tip.left, tip.top, tip.width, tip.height},
                        ScreenScale(), m_font.get());
}

}  // namespace tessaly
