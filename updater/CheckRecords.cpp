// Records of an update check; see CheckRecords.h.
#include "CheckRecords.h"

#include <array>

#include "FaultLog.h"
#include "IniOperation.h"
#include "ProgramFiles.h"
#include "modCommon.h"
#include "modFileVersion.h"
#include "modGetOfficeInfo.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kNoVersion[] = L"0.0.0";
constexpr std::array<const wchar_t*, 4> kVersionedPrograms{kMainProgramFile, kEngineProgramFile, kUpdaterProgramFile,
                                                           kTrayProgramFile};

}  // namespace

void SaveLastCheckDate(const std::wstring& configPath) {
    WriteIniString(configPath, ini::kGeneral, ini::kLastCheckUpdate, GetDateText());
}

std::wstring GetInstalledAppVersion(const std::wstring& programFolder) {
    for (const wchar_t* program : kVersionedPrograms) {
        const std::wstring version = GetFileVersion(programFolder + program);
        if (version != kNoVersion) return version;
    }
    return kNoVersion;
}

void SaveOfficeInfo(const std::wstring& configPath) {
    try {
        OfficeAppInfo info;
        if (!GetOfficeInfo(info)) return;
        WriteIniString(configPath, ini::kOffice, ini::kAppName, info.AppName);
        WriteIniString(configPath, ini::kOffice, ini::kAppVer, info.MajorVersion);
        WriteIniString(configPath, ini::kOffice, ini::kInstallPath, info.InstallFolder);
    } catch (...) {
        LogCaughtFault(L"SaveOfficeInfo");
    }
}

}  // namespace tessaly::updater
