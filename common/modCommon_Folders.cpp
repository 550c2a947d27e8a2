// Program, per-user and per-machine data folders, the Windows folder, the web-server root, the
// program's own version, the platform test and the directory lookup every module uses.
#include "modCommon.h"

#include <shlobj.h>

#include <cwchar>

#include "IniOperation.h"
#include "UniqueHandle.h"
#include "modFileVersion.h"

namespace tessaly {
namespace {

std::wstring EnvironmentText(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD n = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);
    }
}

std::wstring WithBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

bool DirLookup(const std::wstring& path, unsigned attributes) {
    if (path.empty() || path.find_first_of(L"*?") != std::wstring::npos) return false;
    std::wstring name = path;
    // A folder named with its trailing "\" is still the folder.
    if ((attributes & kLookupDirectory) && name.size() > 1 && name.back() == L'\\') name.pop_back();
    if (name.size() == 2 && name[1] == L':') {
        // A drive root has no directory entry of its own; a lookup of "C:" would find the current folder.
        const DWORD root = ::GetFileAttributesW((name + L"\\").c_str());
        return (attributes & kLookupDirectory) && root != INVALID_FILE_ATTRIBUTES && (root & FILE_ATTRIBUTE_DIRECTORY);
    }
    WIN32_FIND_DATAW data{};
    unique_find find(::FindFirstFileW(name.c_str(), &data));
    if (!find) return false;
    const DWORD found = data.dwFileAttributes;
    if (found & FILE_ATTRIBUTE_SYSTEM) return false;
    if ((found & FILE_ATTRIBUTE_HIDDEN) && !(attributes & kLookupHidden)) return false;
    if ((found & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & kLookupDirectory)) return false;
    return true;
}

std::wstring GetAppFolder() {
    std::wstring path = ModulePath();
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring GetUserDataFolder() {
    return WithBackslash(EnvironmentText(L"AppData")) + L"Tessaly";
}

std::wstring GetCommonDataFolder() {
    const std::wstring programData = EnvironmentText(L"ProgramData");
    if (programData.empty()) return GetAppFolder();
    const std::wstring folder = WithBackslash(programData) + L"Tessaly\\";
    if (!DirLookup(folder, kLookupDirectory)) {
        // Also makes ProgramData itself when a fresh profile lacks it.
        ::SHCreateDirectoryExW(nullptr, folder.substr(0, folder.size() - 1).c_str(), nullptr);
    }
    return folder;
}

std::wstring GetWindowsFolder() { return WithBackslash(EnvironmentText(L"windir")); }

std::wstring GetExplorerPath() { return GetWindowsFolder() + L"explorer.exe"; }

std::wstring GetWebServerHost(const std::wstring& configFile) {
    std::wstring host = ReadIniString(configFile, ini::kGeneral, ini::kWebServerHost, kDefaultWebServerRoot);
    if (!host.empty() && host.back() == L'/') host.pop_back();
    return host;
}

std::wstring GetAppVersion() { return GetFileVersion(ModulePath()); }

bool IsWinXPOrEarlier() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return false;
    return info.dwMajorVersion <= 5;
}

std::wstring GetDateText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t text[16];
    std::swprintf(text, 16, L"%02u-%02u-%04u", static_cast<unsigned>(now.wMonth), static_cast<unsigned>(now.wDay),
                  static_cast<unsigned>(now.wYear));
    return text;
}

}  // namespace tessaly
