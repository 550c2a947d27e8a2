// Plays an office program for the guard's tests: copied as "winword.exe" or "excel.exe", it runs
// until the event "tessaly_office_standin_<its process id>" is set (a clean end, like closing the
// program) or until it is ended from outside; it never outlives a test run by more than 2 minutes.
#include <windows.h>

#include <string>

#include "UniqueHandle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring name = L"tessaly_office_standin_" + std::to_wstring(::GetCurrentProcessId());
    const tessaly::unique_kernel_handle quit(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    if (!quit) return 1;
    ::WaitForSingleObject(quit.get(), 120000);
    return 0;
}
