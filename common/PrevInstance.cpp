#include "PrevInstance.h"

#include <tlhelp32.h>

#include <vector>

#include "FaultLog.h"
#include "UniqueHandle.h"

namespace tessaly {
namespace {

std::wstring ImagePathOf(HANDLE process) {
    std::vector<wchar_t> buffer(32768);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!::QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) return {};
    return std::wstring(buffer.data(), size);
}

ULONGLONG StartTimeOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

bool IsOlder(ULONGLONG start, DWORD pid, ULONGLONG ownStart, DWORD ownPid) {
    if (start != ownStart) return start < ownStart;
    return pid < ownPid;
}

}  // namespace

std::wstring OwnImagePath() {
    try {
        return ImagePathOf(::GetCurrentProcess());
    } catch (...) {
        LogCaughtFault(L"OwnImagePath");
        return {};
    }
}

std::optional<ULONGLONG> RunningInstanceStart(DWORD pid, const std::wstring& imagePath) noexcept {
    try {
        // SYNCHRONIZE: the wait below needs it, and without it the wait fails instead of telling.
        unique_kernel_handle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process) return std::nullopt;
        if (!SamePath(ImagePathOf(process.get()), imagePath)) return std::nullopt;
        if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return std::nullopt;  // already ended
        return StartTimeOf(process.get());
    } catch (...) {
        LogCaughtFault(L"RunningInstanceStart");
        return std::nullopt;
    }
}

bool IsOlderInstanceRunning(const std::wstring& imagePath, DWORD ownPid, ULONGLONG ownStart) noexcept {
    try {
        if (imagePath.empty()) return false;
        unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return false;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            if (entry.th32ProcessID == ownPid) continue;
            const std::optional<ULONGLONG> start = RunningInstanceStart(entry.th32ProcessID, imagePath);
            if (start && IsOlder(*start, entry.th32ProcessID, ownStart, ownPid)) return true;
        }
        return false;
    } catch (...) {
        LogCaughtFault(L"IsOlderInstanceRunning");
        return false;
    }
}

bool IsPrevInstanceRunning() noexcept {
    try {
        return IsOlderInstanceRunning(OwnImagePath(), ::GetCurrentProcessId(), StartTimeOf(::GetCurrentProcess()));
    } catch (...) {
        LogCaughtFault(L"IsPrevInstanceRunning");
        return false;
    }
}

}  // namespace tessaly
