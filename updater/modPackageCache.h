// The verified installer package cached in the per-user data folder for the temporary copy of
// the updater, its record in section "UPDATE" of config.dat, and the installation from it.
#pragma once
#include "ProgramFiles.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessaly::updater {

struct CachedPackageInfo {
    bool Valid = false;
    std::wstring CacheDate;
    std::int32_t PackageSize = 0;
    std::wstring PackageHash;
    std::wstring PackagePath;
};

inline constexpr wchar_t kPackageName[] = L"zdvupdatepkg.exe";

// <per-user data folder>\zdvupdatepkg.exe
std::wstring CachedPackagePath();
// The record when every test passes today; otherwise the cache is cleared and the record invalid.
CachedPackageInfo GetCachedPackage();
// Blanks the three keys, then deletes the file when there is one.
void ClearCachedPackage(const std::wstring& packagePath);
// Holds the installing marker, waits for the other programs to end, runs the package into the
// folder (checked once more just before it starts) and clears the cache; then lets go of the
// marker and starts the folder's tray program again, also when the others did not end.
void InstallCachedPackage(const CachedPackageInfo& record, const std::wstring& folder);
// Empties the update temporary folder of what an earlier installation left there (the downloaded
// package, the temporary copy); a file still in use stays.
void RemoveInstallationLeftovers();
// Copies the updater into the update temporary folder and starts it with "/upgrading " and
// "/installpath " and the program folder.
bool StartUpgraderCopy(const std::wstring& programFolder);

// A whole decimal number of the 32-bit range, blanks around it allowed; nullopt otherwise.
std::optional<std::int32_t> ParseInt32(const std::wstring& text);

}  // namespace tessaly::updater
