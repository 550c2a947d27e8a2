// The settings page behind the main window's "设置" button: the switches of "AppSetting" as check
// boxes, saved and applied (context menu, autorun) when the page is created and on "保存设置".
// The page is a child window of its own class; the object owns that window.
#pragma once


#include <windows.h>

#include <cstdint>
#include <string>

#include "FormWindow.h"
#include "UniqueHandle.h"
#include "modAppSettings.h"

namespace tessaly {

class UserSettingPage : public Form<UserSettingPage> {
public:
    static constexpr int kIdFrameSettingPage = 1100;
    static constexpr int kIdChkRightMenuScan = 1101;
    static constexpr int kIdChkCloudScan = 1102;
    static constexpr int kIdLabel1 = 1103;
    static constexpr int kIdChkAutoRun = 1104;
    static constexpr int kIdChkOfficeAddin = 1105;
    static constexpr int kIdChkCloudfeedback = 1106;
    static constexpr int kIdCmdSaveSettings = 1107;

    UserSettingPage() = default;
    ~UserSettingPage();

    // Creates the page window at left/top (pixels) of parent and runs its start-up, which saves and
    // applies the stored settings. False when the window could not be made.
    bool Create(HWND parent, int left, int top) noexcept;
    HWND Item(int id) const noexcept { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }
    const AppSettingsRecord& Settings() const noexcept { return m_record; }

    void RightMenuScanRegOp(std::int32_t value);
    void cmdSaveSettings_Click();

private:
    void UserControl_Initialize();
    void ShowSettings();
    void SaveAndApplySettings();
    void ApplyOfficeAddin(std::int32_t value);

    void CreateControls();
    std::int32_t CheckValue(int id) const;
    void SetCheckValue(int id, std::int32_t value);
    void ToggleCheck(int id);

    friend struct WindowThunk<UserSettingPage>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    std::wstring m_settingsPath;
    AppSettingsRecord m_record;
    unique_hfont m_font;
};

}  // namespace tessaly
