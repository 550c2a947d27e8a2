// The single-instance test of the programs: is an older process of this very program file
// running? No named objects are involved; processes are compared by their image path.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tessaly {

// True when another process runs the same program file (path compared ignoring case) and was
// started before this one. Two instances started in the same instant would otherwise both see
// the other and both end; the tie goes to the lower process id.
bool IsPrevInstanceRunning() noexcept;

// The same question for any image path and start time (tests, other callers).
bool IsOlderInstanceRunning(const std::wstring& imagePath, DWORD ownPid, ULONGLONG ownStart) noexcept;

// The start time of process pid when it runs the program file imagePath (compared ignoring case);
// nullopt when it runs another file, cannot be asked, or has ended (its object may outlive it
// while someone holds it open).
std::optional<ULONGLONG> RunningInstanceStart(DWORD pid, const std::wstring& imagePath) noexcept;

// Full image path of the running program; empty on failure.
std::wstring OwnImagePath();

}  // namespace tessaly
