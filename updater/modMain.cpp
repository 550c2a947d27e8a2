// The updater's start-up and ending; see modMain.h.
#include "modMain.h"

#include <windows.h>

#include "ClsPathLib.h"
#include "ClsWMI.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "PrevInstance.h"
#include "RunMarkerWaits.h"
#include "TextConvert.h"
#include "UpdateCheck.h"
#include "UpdateTempFolder.h"
#include "UpdateTexts.h"
#include "UpdaterSwitches.h"
#include "UpdaterWaits.h"
#include "frmUpdate.h"
#include "modCheckUpdate.h"
#include "modCommon.h"
#include "modPackageCache.h"

namespace tessaly::updater {
namespace {

// Start-up with a valid cached package; true when the process is to end now.
bool HandOverCachedPackage(const CachedPackageInfo& cache, const UpdaterSwitches& switches,
                           const std::wstring& programFolder) {
    if (switches.upgrading && switches.installPath) {
        // The temporary copy: install and end, whatever happens.
        try {
            if (IsWinXPOrEarlier()) {
                ::MessageBoxW(nullptr, kXpNotSupported, kUpdaterTitle, MB_OK | MB_ICONINFORMATION);
                return true;
            }
            if (!switches.installFolder.empty() && ClsPathLib().IsDir(switches.installFolder))
                InstallCachedPackage(cache, switches.installFolder);
        } catch (...) {
            LogCaughtFault(L"HandOverCachedPackage");
        }
        return true;
    }
    return StartUpgraderCopy(programFolder) &&
           WaitForRunMarker(kMarkerInstalling, Waits().markerPollMs, Waits().markerPolls);
}

bool RunsFromUpdateTempFolder(const std::wstring& programFolder) {
    return ToLowerText(programFolder).find(ToLowerText(GetUpdateTempFolder())) != std::wstring::npos;
}

}  // namespace

int Main(const std::wstring& arguments) {
    if (IsPrevInstanceRunning()) return 0;
    const std::wstring programFolder = GetAppFolder();
    ::SetCurrentDirectoryW(programFolder.c_str());
    const std::wstring configPath = GetConfigFilePath();
    const UpdaterSwitches switches = ParseSwitches(arguments);
    ClsWMI wmi;
    EnsureInstalledUUID(wmi, configPath);

    const CachedPackageInfo cache = GetCachedPackage();
    if (cache.Valid && HandOverCachedPackage(cache, switches, programFolder)) return 0;
    if (!cache.Valid && !RunsFromUpdateTempFolder(programFolder)) RemoveInstallationLeftovers();

    frmUpdate form;
    if (!form.Load(switches.ui)) return 0;
    if (!RunsFromUpdateTempFolder(programFolder)) form.EnableUpgradeWatch();
    if (IsCheckDue() || switches.manual) {
        if (UpdateCheck(form, wmi, programFolder, configPath).Run() == CheckEnd::EndProcess) return 0;
    }
    form.EnableExit();
    if (switches.ui) form.RunUntilUnloaded();
    return 0;
}

}  // namespace tessaly::updater
