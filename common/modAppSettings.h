// The five switches of section "AppSetting" of config.dat as one record.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly {

struct AppSettingsRecord {
    std::int32_t RightMenuScan = 1;
    std::int32_t CloudScan = 1;
    std::int32_t OfficeAddin = 1;
    std::int32_t AutoRun = 1;
    std::int32_t CloudFeedBack = 1;
};

// Each switch defaults to 1; a value that is not a number also reads as 1.
AppSettingsRecord LoadAppSettings(const std::wstring& configFile);
void SaveAppSettings(const std::wstring& configFile, const AppSettingsRecord& settings);

}  // namespace tessaly
