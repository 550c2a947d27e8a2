// Applying the switches of "AppSetting": the scan verb of the context menu and autorun of the
// tray program, both rewritten from the stored settings at every start of the main program.
#pragma once

#include <cstdint>
#include <string>

#include "modAppSettings.h"

namespace tessaly {

// Check-box value for a stored switch: 0, 1 and 2 (grey) as they are; anything else ticked, the
// default every switch has when missing.
std::int32_t NormalizeSwitch(std::int32_t value);

// 1 registers the scan verb for drossel.exe in appFolder (skipped when the ".xls" command already
// holds it); any other value removes all ten verb keys.
void ApplyRightMenuScan(std::int32_t value, const std::wstring& appFolder);

// Saves the record, then applies the context menu and autorun (on only for 1). Registry failures
// are not reported: the settings file is written all the same.
void SaveAndApplyAppSettings(const std::wstring& configFile, const AppSettingsRecord& record,
                             const std::wstring& appFolder);

}  // namespace tessaly
