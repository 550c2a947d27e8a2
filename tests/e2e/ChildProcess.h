// A program the test starts: its process handle, its id and a bounded wait for its end.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "UniqueHandle.h"

namespace e2e {

class ChildProcess {
public:
    // Starts exe with the arguments (appended after the quoted exe) in folder; Valid() tells.
    ChildProcess(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder);
    // Starts a whole command line as the owner of the primary token would (nullptr: as this
    // process), in folder.
    ChildProcess(HANDLE token, std::wstring commandLine, const std::wstring& folder);
    // A process that runs already, started by somebody else; Valid() tells whether it could be opened.
    explicit ChildProcess(DWORD runningId);

    [[nodiscard]] bool Valid() const { return m_process.valid(); }
    [[nodiscard]] DWORD Id() const { return m_id; }
    [[nodiscard]] bool Running() const;
    // The exit code once the process has ended within timeoutMs; nullopt while it still runs.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;

private:
    tessaly::unique_kernel_handle m_process;
    DWORD m_id = 0;
};

// The program file of a running process; empty when it is gone or cannot be asked.
std::wstring ProcessImagePath(DWORD id);
// True once the process (not started by the test) has ended, within timeoutMs.
bool WaitForProcessEnd(DWORD id, DWORD timeoutMs);
// Ids of the running processes whose program file lies in folder (with trailing "\").
std::vector<DWORD> ProcessesFromFolder(const std::wstring& folder);
// Ends every process whose program file lies in folder and waits (bounded) until they are gone.
void EndProcessesFromFolder(const std::wstring& folder);

}  // namespace e2e
