#include "ChildProcess.h"

#include <tlhelp32.h>

namespace e2e {
namespace {

constexpr DWORD kEndWaitMs = 5000;

std::wstring ImagePath(HANDLE process) {
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!::QueryFullProcessImageNameW(process, 0, path.data(), &size)) return {};
    path.resize(size);
    return path;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder)
    : ChildProcess(nullptr, L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments), folder) {}

ChildProcess::ChildProcess(HANDLE token, std::wstring commandLine, const std::wstring& folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const BOOL started = token ? ::CreateProcessAsUserW(token, nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                                        nullptr, folder.c_str(), &startup, &info)
                               : ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                                  folder.c_str(), &startup, &info);
    if (!started) return;
    m_process = std::move(tessaly::TakeProcessHandles(info).process);
    m_id = info.dwProcessId;
}

ChildProcess::ChildProcess(DWORD runningId)
    : m_process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, runningId)),
      m_id(m_process.valid() ? runningId : 0) {}

bool ChildProcess::Running() const { return Valid() && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeoutMs) const {
    if (!Valid() || ::WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

std::wstring ProcessImagePath(DWORD id) {
    tessaly::unique_kernel_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id));
    if (!process || ::WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) return {};
    return ImagePath(process.get());
}

bool WaitForProcessEnd(DWORD id, DWORD timeoutMs) {
    tessaly::unique_kernel_handle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
    return !process || ::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

std::vector<DWORD> ProcessesFromFolder(const std::wstring& folder) {
    std::vector<DWORD> ids;
    tessaly::unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        tessaly::unique_kernel_handle process(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process || ::WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) continue;
        if (StartsWithNoCase(ImagePath(process.get()), folder)) ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

void EndProcessesFromFolder(const std::wstring& folder) {
    for (DWORD id : ProcessesFromFolder(folder)) {
        tessaly::unique_kernel_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) continue;
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), kEndWaitMs);
    }
}

}  // namespace e2e
