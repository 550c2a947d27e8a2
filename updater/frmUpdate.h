// The updater window frmUpdate: a status text box and an exit button. While it is loaded the
// program holds the run marker "zdvshengji"; its timer closes it once an installation starts.
#pragma once

#include <windows.h>

#include <string>

#include "FormWindow.h"
#include "UniqueHandle.h"
#include "UpdateUi.h"

namespace tessaly::updater {

class frmUpdate final : public UpdateUi, public Form<frmUpdate> {
public:
    static constexpr int kIdOutUpdateMsg = 101;
    static constexpr int kIdOKButton = 102;
    static constexpr UINT_PTR kIdTimerCheckUpgrading = 1;
    static constexpr UINT kTimerCheckUpgradingMs = 1000;

    frmUpdate() = default;
    ~frmUpdate() override;

    // Creates the window, shown or hidden, and the run marker.
    bool Load(bool visible) noexcept;
    [[nodiscard]] bool IsShown() const noexcept;

    // OutUpdateMsg: replaces the status text (nothing once the window is gone).
    void Show(const std::wstring& text) override;
    // A question box, owned by the window while it is shown.
    bool AskYesNo(const std::wstring& text, const std::wstring& title) override;
    // The end of a run: the exit button becomes usable.
    void EnableExit() noexcept;
    // timerCheckUpgrading: from now on the window closes itself once "zdvinstalling" exists.
    void EnableUpgradeWatch() noexcept;
    // Runs the window's messages until it is unloaded.
    void RunUntilUnloaded() noexcept;

private:
    friend struct WindowThunk<frmUpdate>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Form_Load();
    void Form_Unload();
    void timerCheckUpgrading_Timer();

    HWND m_outUpdateMsg = nullptr;
    HWND m_okButton = nullptr;
    unique_hfont m_font;
};

}  // namespace tessaly::updater
