// Test double of the download agent zdvupdateget.exe, from what the updater passes to it and
// relies on: started with the task file and the per-user data folder (both in double quotes), it
// records its arguments and the task file's lines in "testagent.log" of the per-machine data
// folder, and fills "zdvupdatepkg.dwn" in the per-user data folder from the task's URL. The mode
// in "testagent.cfg" says how: full (default), half (stops at half the size), none (writes
// nothing), slow (the whole file in four parts, 700 ms apart), stuck (writes nothing and only
// logs "woke" after 20 s, unless it was ended before).
#include <windows.h>
#include <shellapi.h>
#include <urlmon.h>

#include <string>
#include <vector>

#include "DoubleSupport.h"
#include "UniqueHandle.h"

namespace {

constexpr wchar_t kSettings[] = L"testagent.cfg";
constexpr int kSlowParts = 4;
constexpr DWORD kSlowPauseMs = 700;
constexpr DWORD kStuckMs = 20000;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    const tessaly::unique_local<wchar_t**> arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
    wchar_t** argv = arguments.get();
    if (!argv) return 1;
    const std::wstring log = doubles::DataFolder() + L"testagent.log";
    std::wstring line = L"args";
    for (int i = 1; i < count; ++i) line += L"|" + std::wstring(argv[i]);
    doubles::AppendLine(log, line);
    if (count < 3) return 1;
    const std::vector<std::wstring> task = doubles::Utf8Lines(doubles::ReadBytes(argv[1]));
    for (const std::wstring& taskLine : task) doubles::AppendLine(log, L"task|" + taskLine);
    const std::wstring target = std::wstring(argv[2]) + L"\\zdvupdatepkg.dwn";
    const std::wstring mode = doubles::Setting(kSettings, L"mode", L"full");
    if (mode == L"none" || task.size() < 2) return 0;
    if (mode == L"stuck") {
        ::Sleep(kStuckMs);
        doubles::AppendLine(log, L"woke");
        return 0;
    }

    wchar_t temp[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring download = std::wstring(temp) + L"testagent_download.bin";
    if (::URLDownloadToFileW(nullptr, task[1].c_str(), download.c_str(), 0, nullptr) != S_OK) return 2;
    const std::string bytes = doubles::ReadBytes(download);
    ::DeleteFileW(download.c_str());
    if (mode == L"half") {
        doubles::WriteBytes(target, bytes.substr(0, bytes.size() / 2));
    } else if (mode == L"slow") {
        doubles::WriteBytes(target, "");
        const std::size_t part = bytes.size() / kSlowParts + 1;
        for (std::size_t at = 0; at < bytes.size(); at += part) {
            ::Sleep(kSlowPauseMs);
            doubles::AppendBytes(target, bytes.substr(at, part));
        }
    } else {
        doubles::WriteBytes(target, bytes);
    }
    return 0;
}
