// The installation identity stored under "general"/InstalledUUID of config.dat: the machine's
// product UUID when it is usable, otherwise a GUID made once and kept.
#include <objbase.h>

#include "IniOperation.h"
#include "FaultLog.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly {

std::wstring NewGuidString() {
    GUID guid{};
    if (FAILED(::CoCreateGuid(&guid))) return {};
    wchar_t buffer[40] = {};
    const int n = ::StringFromGUID2(guid, buffer, 40);
    return n > 0 ? std::wstring(buffer, static_cast<size_t>(n - 1)) : std::wstring();
}

bool IsInvalidUUID(std::wstring_view uuid) {
    return uuid.empty() || uuid == L"00000000-0000-0000-0000-000000000000" ||
           uuid == L"FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF" || uuid == L"FEFEFEFE-FEFE-FEFE-FEFE-FEFEFEFEFEFE";
}

std::wstring GetMachineUUID(const UUIDInfoQuery& query, const std::wstring& configFile) {
    std::wstring candidate;
    try {
        if (query) query(candidate);
    } catch (...) {
        LogCaughtFault(L"GetMachineUUID");
        candidate.clear();
    }
    if (!IsInvalidUUID(candidate)) {
        WriteIniString(configFile, ini::kGeneral, ini::kInstalledUUID, candidate);
        return candidate;
    }
    const std::wstring stored = ReadIniString(configFile, ini::kGeneral, ini::kInstalledUUID, L"");
    if (!IsInvalidUUID(stored)) return stored;
    std::wstring made = NewGuidString();
    std::erase(made, L'{');
    std::erase(made, L'}');
    made = ToUpperText(made);
    WriteIniString(configFile, ini::kGeneral, ini::kInstalledUUID, made);
    return made;
}

void EnsureInstalledUUID(const UUIDInfoQuery& query, const std::wstring& configFile) {
    if (IsInvalidUUID(ReadIniString(configFile, ini::kGeneral, ini::kInstalledUUID, L"")))
        GetMachineUUID(query, configFile);
}

}  // namespace tessaly
