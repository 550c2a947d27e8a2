// Plays an office program for the guard's tests: copied as "winword.exe" or "excel.exe", it runs
// until the event "tessaly_office_standin_<its process id>" is set (a clean end, like closing the
// program) or until it is ended from outside; it never outlives a test run by more than 2 minutes.
// Started by COM ("-Embedding") it also serves the stand-in "Excel.Application", one object, and
// like a real office program it stays after "Quit" until it is ended.
#include <windows.h>

#include <string>

#include "OfficeAutomationStandIn.h"
#include "UniqueHandle.h"

namespace {

constexpr DWORD kLongestLifeMs = 120000;

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path);
    return self.substr(0, self.find_last_of(L'\\'));
}

// Serves COM's calls (they come as window messages of this thread) until quit is set.
void RunUntil(HANDLE quit) {
    const ULONGLONG end = ::GetTickCount64() + kLongestLifeMs;
    for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
        if (::MsgWaitForMultipleObjects(1, &quit, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT) == WAIT_OBJECT_0)
            return;
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const std::wstring name = L"tessaly_office_standin_" + std::to_wstring(::GetCurrentProcessId());
    const tessaly::unique_kernel_handle quit(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    if (!quit) return 1;
    const std::wstring arguments = commandLine ? commandLine : L"";
    if (arguments.find(L"Embedding") == std::wstring::npos) {
        ::WaitForSingleObject(quit.get(), kLongestLifeMs);
        return 0;
    }
    tessaly::ComApartment com;
    IClassFactory* factory = tessaly::test::NewAutomationFactory(OwnFolder());
    DWORD cookie = 0;
    const HRESULT hr = ::CoRegisterClassObject(tessaly::test::kStandInExcelClassId, factory, CLSCTX_LOCAL_SERVER,
                                               REGCLS_SINGLEUSE, &cookie);
    factory->Release();
    if (FAILED(hr)) return 2;
    RunUntil(quit.get());
    ::CoRevokeClassObject(cookie);
    return 0;
}
