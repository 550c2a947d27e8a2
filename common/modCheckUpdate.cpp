// The once-a-day gate; see modCheckUpdate.h.
#include "modCheckUpdate.h"

#include "FaultLog.h"
#include "IniOperation.h"
#include "modCommon.h"

namespace tessaly {

bool IsCheckDue() noexcept {
    try {
        const std::wstring last = ReadIniString(GetConfigFilePath(), ini::kGeneral, ini::kLastCheckUpdate, L"0");
        return last != GetDateText();
    } catch (...) {
        LogCaughtFault(L"IsCheckDue");
        return true;
    }
}

}  // namespace tessaly
