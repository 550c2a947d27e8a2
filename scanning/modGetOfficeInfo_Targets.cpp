// The Office part of the quick-scan target list: every folder and document the discovery finds,
// each once.
#include "modGetOfficeInfo.h"

#include "ClsPathLib.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "modCommon.h"

namespace tessaly {

namespace {

void AppendFound(std::vector<std::wstring>& targets, std::int32_t (*collector)(std::vector<std::wstring>&)) {
    TextList found;
    const std::int32_t count = collector(found);
    if (count > 0) AppendItemsToList(targets, static_cast<std::int32_t>(found.size()), found, true);
}

}  // namespace

std::int32_t GetOfficeScanTargets(const std::wstring& configFile, std::vector<std::wstring>& targets,
                                  bool skipConfigTarget) {
    try {
        if (!skipConfigTarget) {
            const std::wstring installPath = ReadIniString(configFile, ini::kOffice, ini::kInstallPath, L"");
            if (!installPath.empty()) {
                ClsPathLib paths;
                const std::wstring library = paths.JoinPath(installPath, L"library");
                if (paths.IsDir(library)) AppendToList(targets, library, true);
            }
        }
        AppendFound(targets, GetOfficeStartupFolders);
        AppendFound(targets, GetUserTemplateFolders);
        AppendFound(targets, GetOfficeMruFiles);
        AppendFound(targets, GetWpsRecentFiles);
        return static_cast<std::int32_t>(targets.size());
    } catch (...) {
        LogCaughtFault(L"GetOfficeScanTargets");
        return 0;
    }
}

}  // namespace tessaly
