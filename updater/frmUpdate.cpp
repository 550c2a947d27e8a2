// The updater window; see frmUpdate.h.
#include "frmUpdate.h"

#include "FormLayout.h"
#include "Pictures.h"
#include "PixelScale.h"
#include "UiFont.h"
#include "UpdateTexts.h"
#include "frmUpdateLayout.h"
#include "modCommon.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kWindowClass[] = L"TessalyUpdateForm";

}  // namespace

frmUpdate::~frmUpdate() { Unload(); }

bool frmUpdate::Load(bool visible) noexcept {
    if (m_hwnd) return true;
    try {
        const PixelScale scale = ScreenScale();
        FormSpec spec;
        spec.className = kWindowClass;
        spec.caption = kFormCaption;
        spec.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        spec.exStyle = WS_EX_CONTROLPARENT;
        spec.client = {scale.X(update_form::kClientWidthTwips), scale.Y(update_form::kClientHeightTwips)};
        spec.classOptions.icon = pictures::AppIcon(32);
        if (!CreateTopLevel(spec)) return false;
        if (visible) {
            // Windows hands the first ShowWindow of a process the show flag its starter passed (the
            // tray starts "/ui /manual" hidden); the second shows the window whatever that was.
            ::ShowWindow(m_hwnd, SW_SHOWNORMAL);
            ShowNow(SW_SHOWNORMAL);
        }
        return true;
    } catch (...) {
        LogCaughtFault(L"frmUpdate::Load");
        return false;
    }
}

bool frmUpdate::IsShown() const noexcept { return m_hwnd && ::IsWindowVisible(m_hwnd); }

void frmUpdate::Show(const std::wstring& text) {
    if (m_outUpdateMsg) ::SetWindowTextW(m_outUpdateMsg, text.c_str());
}

bool frmUpdate::AskYesNo(const std::wstring& text, const std::wstring& title) {
    return ::MessageBoxW(IsShown() ? m_hwnd : nullptr, text.c_str(), title.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void frmUpdate::EnableExit() noexcept {
    if (m_okButton) ::EnableWindow(m_okButton, TRUE);
}

void frmUpdate::EnableUpgradeWatch() noexcept {
    if (m_hwnd) ::SetTimer(m_hwnd, kIdTimerCheckUpgrading, kTimerCheckUpgradingMs, nullptr);
}

void frmUpdate::RunUntilUnloaded() noexcept {
    RunUntilClosed();
    Unload();
}

LRESULT frmUpdate::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        Form_Load();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdOKButton && HIWORD(wParam) == BN_CLICKED) {
            Unload();
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kIdTimerCheckUpgrading) {
            timerCheckUpgrading_Timer();
            return 0;
        }
        break;
    case WM_CLOSE:
        // Closing by the caption works like the exit button: only once the run has ended.
        if (m_okButton && ::IsWindowEnabled(m_okButton)) Unload();
        return 0;
    case WM_DESTROY:
        ::KillTimer(m_hwnd, kIdTimerCheckUpgrading);
        Form_Unload();
        m_outUpdateMsg = nullptr;
        m_okButton = nullptr;
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

void frmUpdate::CreateControls() {
    m_font = CreateUiFont({});
    CreateLayoutControls(m_hwnd, update_form::kControls, ScreenScale(), m_font.get());
    m_outUpdateMsg = ::GetDlgItem(m_hwnd, kIdOutUpdateMsg);
    m_okButton = ::GetDlgItem(m_hwnd, kIdOKButton);
}

void frmUpdate::Form_Load() { CreateRunMarker(kMarkerUpdater); }

void frmUpdate::Form_Unload() { DeleteRunMarker(kMarkerUpdater); }

void frmUpdate::timerCheckUpgrading_Timer() {
    if (!IsRunMarkerPresent(kMarkerInstalling)) return;
    ::KillTimer(m_hwnd, kIdTimerCheckUpgrading);
    Unload();
}

}  // namespace tessaly::updater
