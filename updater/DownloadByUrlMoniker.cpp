// The plain URL download through the platform's URL moniker, past its cache.
#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include "FaultLog.h"
#include "TextConvert.h"
#include "modCommon.h"
#include "modHttpSend.h"

namespace tessaly::updater {

bool DownloadByUrlMoniker(const std::wstring& url, const std::wstring& destPath) {
    try {
        const std::string address = WideToAnsi(url);
        const std::string target = WideToAnsi(destPath);
        // A cached copy would be an old package under the same address.
        ::DeleteUrlCacheEntryA(address.c_str());
        // Wine reports success even when it could not write the file; only a file counts.
        if (::URLDownloadToFileA(nullptr, address.c_str(), target.c_str(), 0, nullptr) == S_OK && DirLookup(destPath))
            return true;
        ::DeleteFileW(destPath.c_str());
        return false;
    } catch (...) {
        LogCaughtFault(L"DownloadByUrlMoniker");
        ::DeleteFileW(destPath.c_str());
        return false;
    }
}

}  // namespace tessaly::updater
