// The "AppSetting" switches of config.dat as one record.
#include "modAppSettings.h"

#include <cwchar>

#include "IniOperation.h"
#include "TextConvert.h"

namespace tessaly {
namespace {

// A value that is not a whole number reads as the switch's default, so a hand-edited file cannot
// stop a program from starting.
std::int32_t ReadSwitch(const std::wstring& file, const wchar_t* key) {
    const std::wstring text = TrimSpaces(ReadIniString(file, ini::kAppSetting, key, L"1"));
    if (text.empty()) return 1;
    wchar_t* end = nullptr;
    errno = 0;
    const long value = std::wcstol(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != L'\0' || value < INT32_MIN || value > INT32_MAX) return 1;
    return static_cast<std::int32_t>(value);
}

void WriteSwitch(const std::wstring& file, const wchar_t* key, std::int32_t value) {
    WriteIniString(file, ini::kAppSetting, key, std::to_wstring(value));
}

}  // namespace

AppSettingsRecord LoadAppSettings(const std::wstring& configFile) {
    AppSettingsRecord r;
    r.RightMenuScan = ReadSwitch(configFile, ini::kRightMenuScan);
    r.CloudScan = ReadSwitch(configFile, ini::kCloudScan);
    r.OfficeAddin = ReadSwitch(configFile, ini::kOfficeAddin);
    r.AutoRun = ReadSwitch(configFile, ini::kAutoRun);
    r.CloudFeedBack = ReadSwitch(configFile, ini::kCloudFeedBack);
    return r;
}

void SaveAppSettings(const std::wstring& configFile, const AppSettingsRecord& settings) {
    WriteSwitch(configFile, ini::kRightMenuScan, settings.RightMenuScan);
    WriteSwitch(configFile, ini::kCloudScan, settings.CloudScan);
    WriteSwitch(configFile, ini::kOfficeAddin, settings.OfficeAddin);
    WriteSwitch(configFile, ini::kAutoRun, settings.AutoRun);
    WriteSwitch(configFile, ini::kCloudFeedBack, settings.CloudFeedBack);
}

}  // namespace tessaly
