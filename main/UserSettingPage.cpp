// What the settings page does: start-up, showing and saving the switches, and the scan verb.
#include "UserSettingPage.h"

#include "AppSettingsApply.h"
#include "IniOperation.h"
#include "ProgramTitle.h"
#include "modCommon.h"

namespace tessaly {

void UserSettingPage::UserControl_Initialize() {
    m_settingsPath = GetConfigFilePath();
    m_record = LoadAppSettings(m_settingsPath);
    ShowSettings();
    SaveAndApplySettings();
}

void UserSettingPage::ShowSettings() {
    SetCheckValue(kIdChkRightMenuScan, m_record.RightMenuScan);
    SetCheckValue(kIdChkCloudScan, m_record.CloudScan);
    SetCheckValue(kIdChkOfficeAddin, m_record.OfficeAddin);
    SetCheckValue(kIdChkAutoRun, m_record.AutoRun);
    SetCheckValue(kIdChkCloudfeedback, m_record.CloudFeedBack);
}

void UserSettingPage::SaveAndApplySettings() {
    m_record.RightMenuScan = CheckValue(kIdChkRightMenuScan);
    m_record.CloudScan = CheckValue(kIdChkCloudScan);
    m_record.OfficeAddin = CheckValue(kIdChkOfficeAddin);
    m_record.AutoRun = CheckValue(kIdChkAutoRun);
    m_record.CloudFeedBack = CheckValue(kIdChkCloudfeedback);
    SaveAndApplyAppSettings(m_settingsPath, m_record, GetAppFolder());
    ApplyOfficeAddin(m_record.OfficeAddin);
}

// The Office add-in is not part of this product; the switch is only carried.
void UserSettingPage::ApplyOfficeAddin(std::int32_t) {}

void UserSettingPage::RightMenuScanRegOp(std::int32_t value) { ApplyRightMenuScan(value, GetAppFolder()); }

void UserSettingPage::cmdSaveSettings_Click() {
    SaveAndApplySettings();
    ::MessageBoxW(m_hwnd ? ::GetAncestor(m_hwnd, GA_ROOT) : nullptr, L"设置保存完毕", kDrosselTitle,
                  MB_OK | MB_ICONINFORMATION);
}

std::int32_t UserSettingPage::CheckValue(int id) const {
    switch (::SendMessageW(Item(id), BM_GETCHECK, 0, 0)) {
    case BST_CHECKED: return 1;
    case BST_INDETERMINATE: return 2;
    default: return 0;
    }
}

void UserSettingPage::SetCheckValue(int id, std::int32_t value) {
    const std::int32_t shown = NormalizeSwitch(value);
    const WPARAM state = shown == 1 ? BST_CHECKED : shown == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
    ::SendMessageW(Item(id), BM_SETCHECK, state, 0);
}

// A click ticks a clear or grey box and clears a ticked one; the grey state is never reached by
// clicking, only by a stored 2.
void UserSettingPage::ToggleCheck(int id) { SetCheckValue(id, CheckValue(id) == 1 ? 0 : 1); }

}  // namespace tessaly
