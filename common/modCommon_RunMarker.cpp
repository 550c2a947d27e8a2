// Run markers and error logs in the per-machine data folder. A marker is a delete-on-close file
// whose handle its process keeps open, so the file lives exactly as long as the process (or until
// the process lets go of it).
#include <string>
#include <vector>

#include "UniqueHandle.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"
#include "FaultLog.h"

namespace tessaly {
namespace {

std::wstring MarkerPath(const std::wstring& name, const std::wstring& folder) {
    return (folder.empty() ? GetCommonDataFolder() : folder) + name + L".run";
}

struct HeldMarker {
    std::wstring path;
    unique_file file;
};

// The markers this process holds. The list itself is never destroyed: the handles stay open until
// ReleaseRunMarker or the end of the process.
std::vector<HeldMarker>& HeldMarkers() {
    static auto* held = new std::vector<HeldMarker>();
    return *held;
}

}  // namespace

bool CreateRunMarker(const std::wstring& name, const std::wstring& folder) {
    try {
        const std::wstring path = MarkerPath(name, folder);
        const std::string pid = std::to_string(::GetCurrentProcessId());
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            // Another holder is not a failure; a folder that cannot take the file is.
            const DWORD error = ::GetLastError();
            return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_SHARING_VIOLATION ||
                   error == ERROR_ACCESS_DENIED;
        }
        HeldMarkers().push_back({path, unique_file(file)});
        DWORD written = 0;
        const bool ok = ::WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr) &&
                        written == pid.size();
        ::FlushFileBuffers(file);
        return ok;
    } catch (...) {
        LogCaughtFault(L"CreateRunMarker");
        return false;
    }
}

bool ReleaseRunMarker(const std::wstring& name) {
    try {
        const std::wstring path = MarkerPath(name, L"");
        auto& held = HeldMarkers();
        for (auto it = held.begin(); it != held.end(); ++it) {
            if (::lstrcmpiW(it->path.c_str(), path.c_str()) != 0) continue;
            held.erase(it);
            return true;
        }
        return false;
    } catch (...) {
        LogCaughtFault(L"ReleaseRunMarker");
        return false;
    }
}

bool DeleteRunMarker(const std::wstring& name) {
    try {
        const std::wstring path = MarkerPath(name, L"");
        if (!DirLookup(path)) return false;
        return ::DeleteFileW(path.c_str()) != FALSE;
    } catch (...) {
        LogCaughtFault(L"DeleteRunMarker");
        return false;
    }
}

bool IsRunMarkerPresent(const std::wstring& name, const std::wstring& folder) {
    try {
        return DirLookup(MarkerPath(name, folder));
    } catch (...) {
        LogCaughtFault(L"IsRunMarkerPresent");
        return false;
    }
}

void WriteErrLog(const std::wstring& message, const std::wstring& name, bool deleteFirst) {
    if (message.empty()) return;
    try {
        const std::wstring path = GetCommonDataFolder() + name + L".err";
        if (deleteFirst && DirLookup(path)) ::DeleteFileW(path.c_str());
        clsUTF8TextFile().WriteMsgToUTF8File(path, true, message, true);
    } catch (...) {
        // This is the error log itself: a fault writing it has nowhere else to go.
    }
}

}  // namespace tessaly
