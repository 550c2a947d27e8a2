// The autorun value that starts the tray program at log-on.
#include <shlwapi.h>

#include "MSRegistryAPI.h"
#include "FaultLog.h"
#include "ProgramFiles.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly {

bool SetAutoRun(bool enable) {
    try {
        const std::wstring trayPath = GetAppFolder() + kTrayProgramFile;
        const std::wstring data = L"\"" + trayPath + L"\"";
        if (!enable) {
            ::SHDeleteValueW(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName);
            return true;
        }
        if (!DirLookup(trayPath)) return false;
        RegValue current;
        if (ReadRegValue(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName, current) == ERROR_SUCCESS) {
            if (const auto* text = std::get_if<std::wstring>(&current);
                text && !text->empty() && ToLowerText(*text).find(ToLowerText(data)) != std::wstring::npos)
                return true;
        }
        const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        return ::SHSetValueW(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName, REG_SZ, data.c_str(), bytes) ==
               ERROR_SUCCESS;
    } catch (...) {
        LogCaughtFault(L"SetAutoRun");
        return false;
    }
}

}  // namespace tessaly
