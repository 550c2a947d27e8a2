// The update check from the offer on: its checks, the download, the size and MD5 verification and
// the three installation routes. A package that failed a check is deleted at once, so nothing
// unverified is left to run.
#include <windows.h>

#include <stdexcept>

#include "ClsPathLib.h"
#include "IniOperation.h"
#include "PackageLock.h"
#include "ProcessStart.h"
#include "RunMarkerWaits.h"
#include "SupportContact.h"
#include "TextConvert.h"
#include "TransportAddress.h"
#include "UpdateCheck.h"
#include "UpdateTempFolder.h"
#include "UpdateTexts.h"
#include "UpdaterSwitches.h"
#include "UpdaterWaits.h"
#include "modCommon.h"
#include "modHttpSend.h"
#include "modMD5.h"
#include "modPackageCache.h"

namespace tessaly::updater {
namespace {

constexpr std::int32_t kReinstall = 1;

// "explorer.exe <url>" minimized with focus, for the manual download; only a web address goes.
void OpenInBrowser(const std::wstring& url) {
    if (!IsWebAddress(url)) return;
    std::wstring command = GetExplorerPath() + L" " + url;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        TakeProcessHandles(info);
}

// Empties the update temporary folder and gives the package's path in it.
std::wstring FreshPackagePath() {
    ClsPathLib paths;
    paths.DeleteFolder(GetUpdateTempFolder(), false);
    const std::wstring packagePath = paths.JoinPath(GetUpdateTempFolder(), kPackageName);
    if (DirLookup(packagePath)) ::DeleteFileW(packagePath.c_str());
    return packagePath;
}

}  // namespace

CheckEnd UpdateCheck::TakeOffer(const UpdateAnswer& answer, bool elevated) {
    if (answer.version && !answer.version->empty())
        WriteIniString(m_configPath, ini::kVersions, ini::kServerAppVer, *answer.version);
    m_ui.Show(kStatusCheckingOffer);
    if (!answer.packageUrl || answer.packageUrl->empty() || !answer.size || *answer.size <= 0)
        return End(kStatusNoCheckInfo);
    if (!answer.hash || answer.hash->empty()) return End(kStatusNoHash);
    const std::wstring packageUrl = PackageAddress(DecodeHexField(*answer.packageUrl), m_requestUrl);
    if (packageUrl.empty()) return End(kStatusNoPackageUrl);
    return Download(answer, packageUrl, elevated);
}

CheckEnd UpdateCheck::Download(const UpdateAnswer& answer, const std::wstring& packageUrl, bool elevated) {
    m_ui.Show(kStatusDownloading);
    ClsPathLib paths;
    const std::wstring packagePath = FreshPackagePath();
    const std::wstring agent = HelperProgramPath(m_programFolder);
    const std::wstring target = HelperTargetPath();
    const std::int32_t size = *answer.size;
    bool ok = false;
    if (paths.PathHasUnicode(m_programFolder) || !paths.IsFile(agent)) {
        ok = DownloadByRanges(packageUrl, size, packagePath, kProgressFormat, m_ui);
    } else {
        ok = DownloadWithHelper(m_programFolder, answer.version.value_or(L""), packageUrl, size, *answer.hash,
                                kProgressFormat, m_ui);
        if (!ok && paths.IsFile(target) && paths.MyGetFileSize64(target) == size) ok = true;
        if (ok)
            paths.RenameFile(target, packagePath, true);
        else
            paths.DelFile(target);  // what the agent left is no package
    }
    if (!ok) ok = DownloadByUrlMoniker(packageUrl, packagePath);
    if (!ok) {
        m_ui.Show(kStatusDownloadFailed + packageUrl);
        if (m_ui.AskYesNo(kAskManualDownload, kAskManualDownloadTitle)) OpenInBrowser(packageUrl);
        return CheckEnd::Common;
    }
    return VerifyAndInstall(answer, packagePath, elevated);
}

CheckEnd UpdateCheck::VerifyAndInstall(const UpdateAnswer& answer, const std::wstring& packagePath, bool elevated) {
    ClsPathLib paths;
    PackageLock lock(packagePath);
    // A package that vanished is a fault of its own: the check ends without a status text.
    if (!lock.Held()) throw std::runtime_error("the package vanished before its check");
    if (lock.Length() != *answer.size) {
        lock.Release();
        paths.DelFile(packagePath);
        return End(kStatusSizeMismatch);
    }
    m_ui.Show(kStatusHashing);
    const std::wstring md5 = GetFileMD5(packagePath, CALG_MD5);
    if (!SameDigest(md5, *answer.hash)) {
        lock.Release();
        paths.DelFile(packagePath);
        return End(kStatusHashMismatch + md5 + L"\r\n" + kStatusContactPrefix + kSupportContact);
    }
    m_ui.Show(kStatusInstalling);

    if (elevated) {
        ShellRun(packagePath, std::wstring(kSwitchVerySilent) + InstallPathArgument(m_programFolder), kWindowHidden);
        lock.Release();
        return AwaitInstallation();
    }
    if (answer.reinstall == kReinstall) {
        if (m_ui.AskYesNo(kAskReinstall, kAskReinstallTitle)) ShellRunViaExplorer(packagePath, kWindowNormal);
        return CheckEnd::Common;
    }
    const std::wstring cached = CachedPackagePath();
    paths.DelFile(cached);
    if (!paths.MyCopyFile(packagePath, cached, true)) return End(kStatusCacheCopyFailed);
    lock.Release();
    WriteIniString(m_configPath, ini::kUpdate, ini::kCacheDate, GetDateText());
    WriteIniString(m_configPath, ini::kUpdate, ini::kPackageSize, std::to_wstring(*answer.size));
    WriteIniString(m_configPath, ini::kUpdate, ini::kPackageHash, ToUpperText(md5));
    if (!StartUpgraderCopy(m_programFolder)) return End(kStatusCopyStartFailed);
    return AwaitInstallation();
}

CheckEnd UpdateCheck::AwaitInstallation() {
    if (!WaitForRunMarker(kMarkerInstalling, Waits().markerPollMs, Waits().markerPolls))
        return End(kStatusInstallTimeout);
    if (IsWinXPOrEarlier()) return End(kStatusInstallDone);
    return CheckEnd::EndProcess;
}

}  // namespace tessaly::updater
