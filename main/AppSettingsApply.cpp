// Saving and applying the switches; kept apart from the page window so the registry work can be
// driven with any program folder.
#include "AppSettingsApply.h"

#include "ContextMenuScan.h"
#include "modCommon.h"

namespace tessaly {

std::int32_t NormalizeSwitch(std::int32_t value) { return (value >= 0 && value <= 2) ? value : 1; }

void ApplyRightMenuScan(std::int32_t value, const std::wstring& appFolder) {
    if (value != 1) {
        context_menu::RemoveVerbs();
        return;
    }
    const std::wstring commandLine = context_menu::BuildScanCommandLine(appFolder);
    if (context_menu::IsRegistered(commandLine)) return;
    context_menu::RegisterVerbs(commandLine);
}

void SaveAndApplyAppSettings(const std::wstring& configFile, const AppSettingsRecord& record,
                             const std::wstring& appFolder) {
    SaveAppSettings(configFile, record);
    ApplyRightMenuScan(record.RightMenuScan, appFolder);
    SetAutoRun(record.AutoRun == 1);
}

}  // namespace tessaly
