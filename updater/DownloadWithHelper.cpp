// The outside download agent: a task file of four lines, the agent started with it and the
// per-user data folder, and a wait while its target grows.
#include <windows.h>

#include "BoundedPoll.h"
#include "ClsPathLib.h"
#include "FaultLog.h"
#include "ProcessStart.h"
#include "UpdateTempFolder.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"
#include "modHttpSend.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kAgentName[] = L"zdvupdateget.exe";
constexpr wchar_t kTargetName[] = L"zdvupdatepkg.dwn";
constexpr std::uint32_t kAgentPollMs = 1000;
constexpr std::uint32_t kAgentWaitStepMs = 50;

std::wstring TaskFileText(const std::wstring& version, const std::wstring& url, std::int32_t size,
                          const std::wstring& hash) {
    return version + L"\r\n" + url + L"\r\n" + std::to_wstring(size) + L"\r\n" + hash + L"\r\n";
}

// Waits up to one poll for the agent to end, letting window events run; true when it has ended
// or the wait failed.
bool AgentEnded(HANDLE process) {
    PollPlan plan;
    plan.deadlineMs = kAgentPollMs;
    plan.stepMs = kAgentWaitStepMs;
    return PollUntil([process] { return ::WaitForSingleObject(process, 0) != WAIT_TIMEOUT; }, plan) !=
           PollResult::TimedOut;
}

}  // namespace

std::wstring HelperTargetPath() { return ClsPathLib().JoinPath(GetUserDataFolder(), kTargetName); }

std::wstring HelperProgramPath(const std::wstring& programFolder) { return programFolder + kAgentName; }

bool DownloadWithHelper(const std::wstring& programFolder, const std::wstring& version, const std::wstring& url,
                        std::int32_t size, const std::wstring& hash, const std::wstring& progressFormat,
                        StatusBox& status) {
    ClsPathLib paths;
    const std::wstring target = HelperTargetPath();
    const std::wstring agent = HelperProgramPath(programFolder);
    if (!DirLookup(agent)) return false;
    const std::wstring taskFile = GetUpdateTempFileName();
    if (taskFile.empty() ||
        !clsUTF8TextFile().WriteMsgToUTF8File(taskFile, false, TaskFileText(version, url, size, hash), false))
        return false;
    ProcessHandles started;
    if (!StartProcess(agent, L"\"" + taskFile + L"\" \"" + GetUserDataFolder() + L"\"", started)) return false;

    std::int32_t got = 0;
    for (;;) {
        const bool ended = AgentEnded(started.process.get());
        const std::int32_t now = paths.MyGetFileSize(target);
        if (now > 0) got = now;
        if (ended) break;
        if (progressFormat.empty()) continue;
        try {
            status.Show(ProgressText(progressFormat, got, size));
        } catch (...) {
            LogCaughtFault(L"DownloadWithHelper");
        }
        if (got == size) break;
    }
    return got == size;
}

}  // namespace tessaly::updater
