// The outside download agent: a task file of four lines, the agent started with it and the
// per-user data folder, and a wait while its target grows. An agent whose target has not grown
// within the stall limit, or that outlasts the whole limit, is ended: it counts as failed.
#include <windows.h>

#include "BoundedPoll.h"
#include "ClsPathLib.h"
#include "FaultLog.h"
#include "ProcessStart.h"
#include "UpdateTempFolder.h"
#include "UpdaterWaits.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"
#include "modHttpSend.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kAgentName[] = L"zdvupdateget.exe";
constexpr wchar_t kTargetName[] = L"zdvupdatepkg.dwn";
constexpr std::uint32_t kAgentPollMs = 1000;
constexpr std::uint32_t kAgentWaitStepMs = 50;
// How long an ended agent may take to let go of its target.
constexpr std::uint32_t kAgentEndMs = 5000;

std::wstring TaskFileText(const std::wstring& version, const std::wstring& url, std::int32_t size,
                          const std::wstring& hash) {
    return version + L"\r\n" + url + L"\r\n" + std::to_wstring(size) + L"\r\n" + hash + L"\r\n";
}

// Waits up to deadlineMs for the agent to end, letting window events run; true when it has ended
// or the wait failed.
bool AgentEnded(HANDLE process, std::uint32_t deadlineMs = kAgentPollMs) {
    PollPlan plan;
    plan.deadlineMs = deadlineMs;
    plan.stepMs = kAgentWaitStepMs;
    return PollUntil([process] { return ::WaitForSingleObject(process, 0) != WAIT_TIMEOUT; }, plan) !=
           PollResult::TimedOut;
}

// The agent has had its time: no growth within the stall limit, or the whole limit passed.
class AgentLimits {
public:
    AgentLimits() : m_startMs(PollClockMs()), m_grewMs(m_startMs) {}
    void Grew() { m_grewMs = PollClockMs(); }
    [[nodiscard]] bool Passed() const {
        const std::uint64_t now = PollClockMs();
        return now - m_grewMs >= Waits().transferStallMs || now - m_startMs >= Waits().transferOverallMs;
    }

private:
    std::uint64_t m_startMs;
    std::uint64_t m_grewMs;
};

void EndAgent(HANDLE process) {
    if (!::TerminateProcess(process, 1)) LogFault(L"DownloadWithHelper", L"the download agent could not be ended");
    AgentEnded(process, kAgentEndMs);
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
    AgentLimits limits;
    for (;;) {
        const bool ended = AgentEnded(started.process.get());
        const std::int32_t now = paths.MyGetFileSize(target);
        if (now > got) limits.Grew();
        if (now > 0) got = now;
        if (ended) break;
        if (!progressFormat.empty()) {
            try {
                status.Show(ProgressText(progressFormat, got, size));
            } catch (...) {
                LogCaughtFault(L"DownloadWithHelper");
            }
            if (got == size) break;
        }
        if (limits.Passed()) {
            EndAgent(started.process.get());
            return false;
        }
    }
    return got == size;
}

}  // namespace tessaly::updater
