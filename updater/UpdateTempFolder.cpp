// The update temporary folder and its temporary file names; see UpdateTempFolder.h.
#include "UpdateTempFolder.h"

#include <windows.h>

#include "FaultLog.h"
#include "modCommon.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kFolderName[] = L"zdvupdate_tmp";
constexpr wchar_t kTempFilePrefix[] = L"kwtmp";
constexpr DWORD kNameBufferChars = 512;

std::wstring TempVariable() {
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetEnvironmentVariableW(L"TEMP", value.data(), static_cast<DWORD>(value.size()));
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);
    }
}

}  // namespace

std::wstring GetUpdateTempFolder() {
    std::wstring folder = TempVariable();
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    folder += kFolderName;
    try {
        if (!DirLookup(folder, kLookupDirectory)) ::CreateDirectoryW(folder.c_str(), nullptr);
    } catch (...) {
        LogCaughtFault(L"GetUpdateTempFolder");
    }
    return folder + L'\\';
}

std::wstring GetUpdateTempFileName() {
    try {
        // The buffer is larger than the platform's limit, as the name may come from a long TEMP.
        std::wstring name(kNameBufferChars, L'\0');
        if (::GetTempFileNameW(GetUpdateTempFolder().c_str(), kTempFilePrefix, 0, name.data()) == 0) return {};
        std::erase(name, L'\0');
        return name;
    } catch (...) {
        LogCaughtFault(L"GetUpdateTempFileName");
        return {};
    }
}

}  // namespace tessaly::updater
