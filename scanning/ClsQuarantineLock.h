// The lock that makes every change of the quarantine a read-modify-write of the files on disk.
// The main program and the guard each make their own store objects on the same index; without
// the lock the later writer's index would drop the records the other one added.
#pragma once

#include "UniqueHandle.h"

#include <windows.h>

#include <string>

namespace tessaly::quarantine {

// Lock file in the per-machine data folder, beside the index. It is opened without sharing and
// deleted on close, so the system releases it when its holder ends, however it ends.
inline constexpr wchar_t kLockFileName[] = L"Quarantine.lock";

// How long an operation waits for the lock before it gives up with its failure result.
DWORD GetLockTimeout() noexcept;
void SetLockTimeout(DWORD milliseconds) noexcept;

class QuarantineLock {
public:
    // Polls for the lock until the timeout, letting window events run between attempts.
    explicit QuarantineLock(const std::wstring& dataFolder);
    QuarantineLock(const QuarantineLock&) = delete;
    QuarantineLock& operator=(const QuarantineLock&) = delete;

    [[nodiscard]] bool held() const noexcept { return m_file.valid(); }

private:
    unique_file m_file;
};

}  // namespace tessaly::quarantine
