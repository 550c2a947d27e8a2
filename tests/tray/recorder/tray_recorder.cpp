// Stand-in for the programs the tray program starts (drossel.exe, zdvshengji.exe, zdvguard.exe):
// appends one line to "<its own path>.started" with its parent's process id, the parent's program
// file name when the parent still runs, and its own whole command line, then ends.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "TextConvert.h"
#include "UniqueHandle.h"

namespace {

DWORD ParentProcessId() {
    tessaly::unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID == ::GetCurrentProcessId()) return entry.th32ParentProcessID;
    return 0;
}

std::wstring FileNameOf(DWORD processId) {
    tessaly::unique_kernel_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!::QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) return {};
    path.resize(size);
    return path.substr(path.find_last_of(L'\\') + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH]{};
    if (!::GetModuleFileNameW(nullptr, self, MAX_PATH)) return 1;
    const DWORD parent = ParentProcessId();
    const std::wstring fields = std::to_wstring(parent) + L"\t" + FileNameOf(parent) + L"\t" + ::GetCommandLineW();
    const std::string line = tessaly::WideToUtf8(fields) + "\r\n";
    const std::wstring log = std::wstring(self) + L".started";
    // Two starts at once (a double click) may both be writing: each waits its turn.
    for (int attempt = 0; attempt < 100; ++attempt) {
        tessaly::unique_file file(::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            return ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ? 0 : 1;
        }
        ::Sleep(20);
    }
    return 1;
}
