// Rules of the home page's states.
#include "HomePageState.h"

#include <cwchar>

#include "FaultLog.h"
#include "IniOperation.h"
#include "modCommon.h"

namespace tessaly::home_page {

MonitorView MonitorViewFor(bool trayRunning) {
    if (trayRunning) return {true, kMonitorOnText, kBlack};
    return {false, kMonitorOffText, kOrange};
}

UpdateView UpdateViewFor(bool updaterRunning, const std::wstring& serverVersion, const std::wstring& ownVersion) {
    UpdateView view;
    if (updaterRunning) {
        view.querying = true;
        view.text = kQueryingText;
        return view;
    }
    view.needsUpdate = !serverVersion.empty() && serverVersion != ownVersion;
    view.text = view.needsUpdate ? kNeedUpdateText : kCheckUpdateText;
    return view;
}

namespace {

// A switch counts as 1 when its text is the number 1, blanks around it allowed.
bool IsSwitchOne(const std::wstring& text) {
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    const long value = std::wcstol(begin, &end, 10);
    if (end == begin) return false;
    while (*end == L' ' || *end == L'\t') ++end;
    return *end == L'\0' && value == 1;
}

}  // namespace

bool CloudScanIndicatorOn(const std::wstring& configFile, const NetworkProbe& probe) {
    if (!IsSwitchOne(ReadIniString(configFile, ini::kAppSetting, ini::kCloudScan, L"0"))) return false;
    try {
        return probe && probe(GetWebServerHost(configFile));
    } catch (...) {
        LogCaughtFault(L"CloudScanIndicatorOn");
        return false;
    }
}

std::wstring ScanLogPath() { return GetCommonDataFolder() + L"scan.log"; }

std::wstring WebUpdateLogAddress(const std::wstring& configFile) {
    return GetWebServerHost(configFile) + L"/tessaly/lastupdate";
}

}  // namespace tessaly::home_page
