// Stand-in for the programs drossel.exe only needs to find or start (kestrine.exe, zdvshengji.exe):
// it appends its arguments as one line to "<its own path>.started", then ends.
#include <windows.h>

#include <string>

#include "UniqueHandle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    wchar_t self[MAX_PATH]{};
    if (!::GetModuleFileNameW(nullptr, self, MAX_PATH)) return 1;
    const std::wstring log = std::wstring(self) + L".started";
    const tessaly::unique_file file(::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    // The arguments are plain ASCII in every use; one byte each is enough.
    std::string line;
    for (const wchar_t* c = arguments; c && *c; ++c) line += static_cast<char>(*c);
    line += "\r\n";
    DWORD written = 0;
    ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return 0;
}
