// config.dat through the profile functions. The wide functions keep the file in the system code
// page, so files written by older installations stay readable.
#include "IniOperation.h"

#include <windows.h>
#include <shlobj.h>

#include "modCommon.h"
#include "FaultLog.h"

namespace tessaly {

std::wstring GetConfigFilePath() {
    const std::wstring folder = GetUserDataFolder();
    if (!DirLookup(folder, kLookupDirectory)) ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder + L"\\config.dat";
}

std::wstring ReadIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                           const std::wstring& defaultValue) {
    try {
        if (!DirLookup(file)) return defaultValue;
        wchar_t buffer[kIniValueMax + 1] = {};
        // The default is applied here rather than by the platform, which would trim its blanks;
        // a missing key and an empty value both come back as 0 characters.
        const DWORD n = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, kIniValueMax + 1,
                                                   file.c_str());
        if (n == 0) return defaultValue;
        std::wstring value(buffer, n);
        std::erase(value, L'\0');
        return value;
    } catch (...) {
        LogCaughtFault(L"ReadIniString");
        return defaultValue;
    }
}

void WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) {
    ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

}  // namespace tessaly
