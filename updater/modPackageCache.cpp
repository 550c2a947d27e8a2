// The package cache and the installation through it; see modPackageCache.h.
#include "modPackageCache.h"

#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <stdexcept>

#include "ClsPathLib.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "PackageLock.h"
#include "ProcessStart.h"
#include "ProgramFiles.h"
#include "RunMarkerWaits.h"
#include "TextConvert.h"
#include "UpdateTempFolder.h"
#include "UpdaterSwitches.h"
#include "UpdaterWaits.h"
#include "modCommon.h"
#include "modMD5.h"

namespace tessaly::updater {
namespace {

// ERROR_ELEVATION_REQUIRED, which the cross build's headers leave out.
constexpr DWORD kElevationRequired = 740;

// The record's package, held and checked once more: the file that runs is the file cached.
bool StillTheCachedPackage(const CachedPackageInfo& record, const PackageLock& lock) {
    return lock.Held() && lock.Length() == record.PackageSize &&
           SameDigest(GetFileMD5(record.PackagePath, CALG_MD5), record.PackageHash);
}

// The package needs administrator rights. This copy runs as the desktop user, and where Windows
// then refuses the plain start it asks the user's consent through the shell instead.
bool StartPackage(const std::wstring& path, const std::wstring& args, ProcessHandles& package) {
    if (StartProcess(path, args, package)) return true;
    if (::GetLastError() != kElevationRequired) return false;
    SHELLEXECUTEINFOW shell{};
    shell.cbSize = sizeof shell;
    shell.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    shell.lpVerb = L"runas";
    shell.lpFile = path.c_str();
    shell.lpParameters = args.c_str();
    shell.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&shell) || !shell.hProcess) return false;
    package.process.reset(shell.hProcess);
    return true;
}

void RunPackage(const CachedPackageInfo& record, const std::wstring& folder) {
    PackageLock lock(record.PackagePath);
    if (!StillTheCachedPackage(record, lock)) return;
    ProcessHandles package;
    const bool started =
        StartPackage(record.PackagePath, std::wstring(kSwitchVerySilent) + InstallPathArgument(folder), package);
    lock.Release();
    if (started) ::WaitForSingleObject(package.process.get(), Waits().packageRunMs);
}

// What stepped aside for the installation comes back: the tray program, started for the desktop
// user as the autorun value starts it, and through it the guard and the update check. The package
// leaves this to the copy, which holds the installing marker; the marker goes first, or the tray
// program would see it and close again.
void StartTrayAgain(const std::wstring& folder) {
    ReleaseRunMarker(kMarkerInstalling);
    ShellRunViaExplorer(folder + kTrayProgramFile, kWindowNormal);
}

}  // namespace

std::optional<std::int32_t> ParseInt32(const std::wstring& text) {
    const std::wstring trimmed = TrimSpaces(text);
    if (trimmed.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    errno = 0;
    const long long value = std::wcstoll(trimmed.c_str(), &end, 10);
    if (*end != L'\0' || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::wstring CachedPackagePath() { return ClsPathLib().JoinPath(GetUserDataFolder(), kPackageName); }

CachedPackageInfo GetCachedPackage() {
    std::wstring packagePath;
    try {
        const std::wstring config = GetConfigFilePath();
        CachedPackageInfo record;
        record.CacheDate = ReadIniString(config, ini::kUpdate, ini::kCacheDate, L"");
        const std::optional<std::int32_t> size = ParseInt32(ReadIniString(config, ini::kUpdate, ini::kPackageSize, L"0"));
        if (!size) throw std::invalid_argument("PackageSize is not a number");
        record.PackageSize = *size;
        record.PackageHash = ReadIniString(config, ini::kUpdate, ini::kPackageHash, L"");
        packagePath = CachedPackagePath();
        record.PackagePath = packagePath;
        ClsPathLib paths;
        const bool valid = !record.CacheDate.empty() && record.PackageSize != 0 && !record.PackageHash.empty() &&
                           paths.IsFile(packagePath) && record.CacheDate == GetDateText() &&
                           paths.MyGetFileSize64(packagePath) == record.PackageSize &&
                           SameDigest(GetFileMD5(packagePath, CALG_MD5), record.PackageHash);
        if (valid) {
            record.Valid = true;
            return record;
        }
    } catch (...) {
        LogCaughtFault(L"GetCachedPackage");
    }
    ClearCachedPackage(packagePath);
    return {};
}

void ClearCachedPackage(const std::wstring& packagePath) {
    const std::wstring config = GetConfigFilePath();
    WriteIniString(config, ini::kUpdate, ini::kCacheDate, L"");
    WriteIniString(config, ini::kUpdate, ini::kPackageSize, L"0");
    WriteIniString(config, ini::kUpdate, ini::kPackageHash, L"");
    ClsPathLib paths;
    if (!packagePath.empty() && paths.IsFile(packagePath)) paths.DelFile(packagePath);
}

void InstallCachedPackage(const CachedPackageInfo& record, const std::wstring& folder) {
    CreateRunMarker(kMarkerInstalling);
    bool ran = true;
    try {
        if (ClsPathLib().IsFile(record.PackagePath)) {
            ran = WaitOtherProgramsExit(Waits().markerPollMs, Waits().markerPolls, L"");
            if (ran) RunPackage(record, folder);
        }
    } catch (...) {
        LogCaughtFault(L"InstallCachedPackage");
    }
    // A copy that gave up leaves the cache for another try today.
    if (ran) ClearCachedPackage(record.PackagePath);
    StartTrayAgain(folder);
}

void RemoveInstallationLeftovers() { ClsPathLib().DeleteFolder(GetUpdateTempFolder(), false); }

bool StartUpgraderCopy(const std::wstring& programFolder) {
    try {
        ClsPathLib paths;
        const std::wstring copyPath = paths.JoinPath(GetUpdateTempFolder(), kUpdaterProgramFile);
        paths.DelFile(copyPath);
        if (!paths.MyCopyFile(programFolder + kUpdaterProgramFile, copyPath, true)) return false;
        return ShellRun(copyPath, std::wstring(kSwitchUpgrading) + InstallPathArgument(programFolder), kWindowHidden);
    } catch (...) {
        LogCaughtFault(L"StartUpgraderCopy");
        return false;
    }
}

}  // namespace tessaly::updater
