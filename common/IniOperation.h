// The settings file config.dat: its path, and reading and writing its keys. The file stays a
// code-page INI file (the wide profile functions write it so); values are cut at 1023 characters.
#pragma once

#include <string>

namespace tessaly {

// Sections and keys of config.dat.
namespace ini {
inline constexpr wchar_t kGeneral[] = L"general";
inline constexpr wchar_t kVersions[] = L"versions";
inline constexpr wchar_t kOffice[] = L"Office";
inline constexpr wchar_t kAppSetting[] = L"AppSetting";
inline constexpr wchar_t kUpdate[] = L"UPDATE";

inline constexpr wchar_t kWebServerHost[] = L"WebServerHost";
inline constexpr wchar_t kInstalledUUID[] = L"InstalledUUID";
inline constexpr wchar_t kInstalledDate[] = L"InstalledDate";
inline constexpr wchar_t kUpdateURL[] = L"UpdateURL";
inline constexpr wchar_t kLastCheckUpdate[] = L"LastCheckUpdate";
inline constexpr wchar_t kLocalAppVer[] = L"LocalAppVer";
inline constexpr wchar_t kServerAppVer[] = L"ServerAppVer";
inline constexpr wchar_t kAppName[] = L"AppName";
inline constexpr wchar_t kAppVer[] = L"AppVer";
inline constexpr wchar_t kInstallPath[] = L"InstallPath";
inline constexpr wchar_t kRightMenuScan[] = L"RightMenuScan";
inline constexpr wchar_t kCloudScan[] = L"CloudScan";
inline constexpr wchar_t kOfficeAddin[] = L"OfficeAddin";
inline constexpr wchar_t kAutoRun[] = L"AutoRun";
inline constexpr wchar_t kCloudFeedBack[] = L"CloudFeedBack";
inline constexpr wchar_t kMonitorNotification[] = L"MonitorNotification";
inline constexpr wchar_t kMonitorDoAction[] = L"MonitorDoAction";
inline constexpr wchar_t kCacheDate[] = L"CacheDate";
inline constexpr wchar_t kPackageSize[] = L"PackageSize";
inline constexpr wchar_t kPackageHash[] = L"PackageHash";
}  // namespace ini

// Root URL of the maker's web server, the default of "general"/WebServerHost (no trailing "/").
inline constexpr wchar_t kDefaultWebServerRoot[] = L"https://www.tessaly.cn";
// Default of "general"/UpdateURL: the web-server root followed by this path.
inline constexpr wchar_t kDefaultUpdatePath[] = L"/tessaly/update1";

// Longest value a read returns, in characters.
inline constexpr int kIniValueMax = 1023;

// <per-user data folder>\config.dat; creates the per-user data folder when missing.
std::wstring GetConfigFilePath();
// A missing or hidden/system file, section or key, or an empty value, reads as defaultValue.
std::wstring ReadIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                           const std::wstring& defaultValue);
// Failures are ignored.
void WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value);

}  // namespace tessaly
