// Test helper: one store object adding records in a process of its own, started twice at once
// by the lock test. Arguments: ProgramData folder, documents folder, count, gate event, tag.
// Exit code 0 when every backup succeeded.
#include "ClsQuarantine.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    const std::wstring docs = argv[2];
    const int count = _wtoi(argv[3]);
    const std::wstring tag = argv[5];
    ::SetEnvironmentVariableW(L"ProgramData", argv[1]);
    tessaly::unique_kernel_handle gate(::OpenEventW(SYNCHRONIZE, FALSE, argv[4]));
    if (!gate) return 3;
    // Documents first, so the race is only between the store operations.
    std::wstring paths[1000];
    for (int i = 0; i < count && i < 1000; ++i) {
        paths[i] = docs + L"\\" + tag + L"_" + std::to_wstring(i) + L".doc";
        const std::string bytes = std::string(200 + i, static_cast<char>(i)) + std::string(tag.begin(), tag.end());
        tessaly::unique_file file(::CreateFileW(paths[i].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD put = 0;
        if (!file || !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr)) return 4;
    }
    if (::WaitForSingleObject(gate.get(), 30000) != WAIT_OBJECT_0) return 5;
    try {
        tessaly::ClsQuarantine store;  // reads the index once, like a clean run's store
        for (int i = 0; i < count && i < 1000; ++i)
            if (!store.QuarantineFile(paths[i])) return 10;
    } catch (...) {
        return 6;  // the exit code is the report: the test reads it
    }
    return 0;
}
