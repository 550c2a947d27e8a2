// The tray program's hidden form: the single-instance rule, the notification icon with its pop-up
// menu, the menu actions and the four timers. The object owns the window, the menus and the icons;
// the module modTray keeps the notification icon itself.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "FormWindow.h"
#include "UniqueHandle.h"
#include "frmTrayLayout.h"

namespace tessaly::tray {

// mnuTray with its four items, below the caption "popmenu" in a menu of its own: the pop-up is
// the first sub-menu of the menu returned.
unique_hmenu CreateTrayMenu();

class frmTray : public Form<frmTray> {
public:
    frmTray() = default;
    ~frmTray();

    // Form_Load for the program in programFolder (trailing "\"). False when the process is to end
    // now: an older instance runs (nothing is created then), or the start-up failed.
    bool Create(const std::wstring& programFolder) noexcept;
    // Runs the window's messages until the form is unloaded; the process exit code.
    int Run() noexcept;

private:
    friend struct WindowThunk<frmTray>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    bool CreateFormWindow();
    void Form_Load(const std::wstring& programFolder);
    void Form_Unload() noexcept;
    void EnableTimer(UINT_PTR id, bool enabled);
    bool IsTimerEnabled(UINT_PTR id) const;
    void ShowMessage(const wchar_t* text) const;

    void OnCommand(UINT id);
    void mnuTrayUpdate_Click();
    void mnuTrayExit_Click();

    void OnTimer(UINT_PTR id);
    void timeRunOnceUpdateApp_Timer();
    void timeStartGuard_Timer();
    void timerCheckUpgrading_Timer();
    void timerTask_Timer();

    unique_hmenu m_menu;
    unique_hicon m_smallIcon;
    unique_hicon m_bigIcon;
    std::int32_t m_tickCount = 0;
    std::array<bool, std::size(kFormTimers)> m_timerEnabled{};
};

}  // namespace tessaly::tray
