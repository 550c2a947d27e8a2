// Waits on run markers as bounded polls that let the updater window's events run; see
// RunMarkerWaits.h.
#include "RunMarkerWaits.h"

#include <windows.h>

#include "BoundedPoll.h"
#include "FaultLog.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace tessaly::updater {
namespace {

// The polls test more often than the interval; the deadline stays polls x interval.
constexpr std::uint32_t kTestStepMs = 100;

bool PollFor(const std::function<bool()>& done, std::uint32_t intervalMs, std::uint32_t polls) {
    PollPlan plan;
    plan.deadlineMs = intervalMs * polls;
    plan.stepMs = intervalMs < kTestStepMs ? intervalMs : kTestStepMs;
    const PollResult result = PollUntil(done, plan);
    // A quit message of the window ends the wait early; the condition still decides.
    return result == PollResult::Done || (result == PollResult::Quit && done());
}

// A marker file as the directory lookup lists it: a normal file (not hidden, not system).
bool IsListedMarker(const WIN32_FIND_DATAW& entry) {
    return !(entry.dwFileAttributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

}  // namespace

bool WaitForRunMarker(const std::wstring& name, std::uint32_t intervalMs, std::uint32_t polls) {
    if (polls == 0) return false;
    return PollFor([&name] { return IsRunMarkerPresent(name); }, intervalMs, polls);
}

bool WaitOtherProgramsExit(std::uint32_t intervalMs, std::uint32_t polls, const std::wstring& folder) {
    if (polls == 0) return false;
    return PollFor([&folder] { return !IsOtherRunMarkerPresent(kMarkerInstalling, folder); }, intervalMs, polls);
}

bool IsOtherRunMarkerPresent(const std::wstring& name, const std::wstring& folder) {
    try {
        const std::wstring pattern = (folder.empty() ? GetCommonDataFolder() : folder) + L"*.run";
        const std::wstring own = ToLowerText(name + L".run");
        WIN32_FIND_DATAW entry{};
        unique_find find(::FindFirstFileW(pattern.c_str(), &entry));
        if (!find) return false;
        do {
            if (!IsListedMarker(entry)) continue;
            const std::wstring listed = TrimSpaces(entry.cFileName);
            if (listed.empty()) break;
            // A short-name match ("x.runlog" for "*.run") is no marker.
            if (!EndsWithNoCase(listed, L".run")) continue;
            if (ToLowerText(listed) != own) return true;
        } while (::FindNextFileW(find.get(), &entry));
        return false;
    } catch (...) {
        LogCaughtFault(L"IsOtherRunMarkerPresent");
        return false;
    }
}

}  // namespace tessaly::updater
