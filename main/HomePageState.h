// What the home page shows for the protection state, the update state and the feature indicators,
// worked out apart from its window so each rule can be checked on its own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tessaly::home_page {

inline constexpr wchar_t kMonitorOnText[] = L"Tessaly 正在保护你的电脑";
inline constexpr wchar_t kMonitorOffText[] = L"Tessaly 保护尚未开启";
inline constexpr wchar_t kCheckUpdateText[] = L"检查更新";
inline constexpr wchar_t kNeedUpdateText[] = L"需更新";
inline constexpr wchar_t kQueryingText[] = L"查询中...";
inline constexpr wchar_t kEnableMonitorFailed[] = L"监控启动失败，杀软提示添加启动项时，请点允许。";

// &H80C0FF of the page's design: red 0xFF, green 0xC0, blue 0x80.
inline constexpr COLORREF kOrange = 0x0080C0FF;
inline constexpr COLORREF kBlack = 0;
inline constexpr COLORREF kRed = 255;
inline constexpr COLORREF kIndicatorOnBorder = RGB(18, 150, 219);
inline constexpr COLORREF kIndicatorOffBorder = RGB(138, 138, 138);

struct MonitorView {
    bool on = false;
    std::wstring text;
    COLORREF colour = kOrange;
};
MonitorView MonitorViewFor(bool trayRunning);

struct UpdateView {
    bool querying = false;   // the updater runs: link disabled, "查询中...", poll timer on
    bool needsUpdate = false;
    std::wstring text;       // empty while querying: the text is set only as the link is disabled
};
// serverVersion is "versions"/ServerAppVer read with the own version as default; any text other
// than the own version counts as newer, versions are not ordered.
UpdateView UpdateViewFor(bool updaterRunning, const std::wstring& serverVersion, const std::wstring& ownVersion);

// Asks whether a host answers; the WMI ping in the program, a stand-in in tests.
using NetworkProbe = std::function<bool(const std::wstring& address)>;
// On when "AppSetting"/CloudScan (default "0") is 1 and then the probe answers for the maker's
// web server, which the settings file may point elsewhere.
bool CloudScanIndicatorOn(const std::wstring& configFile, const NetworkProbe& probe);

// <common data folder>scan.log.
std::wstring ScanLogPath();
// The address "近期更新" opens: web-server root & "/tessaly/lastupdate".
std::wstring WebUpdateLogAddress(const std::wstring& configFile);

}  // namespace tessaly::home_page
