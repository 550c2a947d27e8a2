// Lock file of the quarantine store.
#include "ClsQuarantineLock.h"

#include "BoundedPoll.h"

#include <atomic>

namespace tessaly::quarantine {
namespace {

// Storing a 400 MiB document holds the lock for a few seconds; twenty cover that with room.
std::atomic<DWORD> g_lockTimeout{20000};
constexpr unsigned kPollStep = 20;

}  // namespace

DWORD GetLockTimeout() noexcept { return g_lockTimeout.load(); }
void SetLockTimeout(DWORD milliseconds) noexcept { g_lockTimeout.store(milliseconds); }

QuarantineLock::QuarantineLock(const std::wstring& dataFolder) {
    const std::wstring path = dataFolder + kLockFileName;
    // Done when the lock is held or waiting cannot help: a sharing violation while another holder
    // has it, access denied while its file is being deleted on close, are worth waiting for;
    // anything else (no folder) will not change by waiting.
    const auto settled = [&] {
        m_file.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (m_file) return true;
        const DWORD error = ::GetLastError();
        return error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION;
    };
    // The first try comes before any window event runs, so a free lock never lets events in.
    if (settled()) return;
    PollUntil(settled, {GetLockTimeout(), kPollStep});
}

}  // namespace tessaly::quarantine
