// Elevation and version queries; see PlatformQueries.h.
#include "PlatformQueries.h"

#include <windows.h>

#include "FaultLog.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace tessaly::updater {

bool IsProcessElevated() {
    try {
        if (IsWinXPOrEarlier()) return true;
        unique_kernel_handle token;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
        DWORD elevationType = 0;
        DWORD size = 0;
        if (!::GetTokenInformation(token.get(), TokenElevationType, &elevationType, sizeof elevationType, &size))
            return false;
        if (elevationType == TokenElevationTypeFull) return true;
        TOKEN_ELEVATION elevation{};
        if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return false;
        return elevation.TokenIsElevated != 0;
    } catch (...) {
        LogCaughtFault(L"IsProcessElevated");
        return false;
    }
}

std::int32_t GetOsMajorVersion() {
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return 0;
    return static_cast<std::int32_t>(version.dwMajorVersion);
}

}  // namespace tessaly::updater
