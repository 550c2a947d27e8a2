// The "/sf " path of a second start, handed to the window that already runs: the second process
// leaves it as a request file in the per-machine data folder and waits until the running window
// has taken it; the window takes the requests on a timer and scans them in turn. The programs
// coordinate through files only, so no window message crosses between the two processes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::scan_hand_over {

// Request files: "scanrequest-<process id>.txt", the path as UTF-8; written under ".tmp" first
// and renamed, so a reader never meets half a request.
inline constexpr wchar_t kRequestPrefix[] = L"scanrequest-";
inline constexpr wchar_t kRequestExtension[] = L".txt";
// How often the running window looks for requests, and how long a second start waits for it.
inline constexpr UINT kPickUpIntervalMs = 500;
inline constexpr std::uint32_t kPickUpWaitMs = 10000;

enum class HandOverResult {
    Taken,     // the running window took the request
    NotTaken,  // nobody took it in time; the request was withdrawn
    NotWritten,
};

// Leaves the request in folder (the per-machine data folder when empty) and waits up to waitMs
// for it to be taken; window events run meanwhile.
HandOverResult HandOverScanPath(const std::wstring& path, std::uint32_t waitMs = kPickUpWaitMs,
                                const std::wstring& folder = {});

// Takes every complete request of the folder, oldest first; each file is gone once read.
std::vector<std::wstring> TakeScanRequests(const std::wstring& folder = {});

// Removes requests left from before `since` (a process start): nobody waits for them any more.
void DropRequestsOlderThan(const FILETIME& since, const std::wstring& folder = {});

}  // namespace tessaly::scan_hand_over
