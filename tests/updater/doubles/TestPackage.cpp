// Test double of the installer package zdvupdatepkg.exe, from what the updater passes to it and
// relies on: it records its own path and arguments in "testpackage.log" of the per-machine data
// folder, creates the installing marker "zdvinstalling" (unless "testpackage.cfg" says marker=0),
// writes "installed.txt" and the release notes "lastupdate.log" into the folder after
// "/installpath ", and stays for hold= milliseconds (3000 by default) before it ends.
#include <windows.h>

#include <string>

#include "DoubleSupport.h"
#include "UniqueHandle.h"

namespace {

constexpr wchar_t kSettings[] = L"testpackage.cfg";

std::wstring InstallFolder(const std::wstring& arguments) {
    const std::wstring opening = L"/installpath \"";
    const std::size_t start = arguments.find(opening);
    if (start == std::wstring::npos) return {};
    const std::size_t first = start + opening.size();
    const std::size_t closing = arguments.find(L'"', first);
    return closing == std::wstring::npos ? std::wstring() : arguments.substr(first, closing - first);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    const std::wstring data = doubles::DataFolder();
    const std::wstring args = arguments ? arguments : L"";
    doubles::AppendLine(data + L"testpackage.log", doubles::OwnPath() + L"|" + args);
    // Held until the package ends, as a run marker is.
    tessaly::unique_file marker;
    if (doubles::Setting(kSettings, L"marker", L"1") == L"1")
        marker.reset(::CreateFileW((data + L"zdvinstalling.run").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    const std::wstring folder = InstallFolder(args);
    if (!folder.empty()) {
        doubles::WriteBytes(folder + L"installed.txt", "installed by the test package\r\n");
        doubles::WriteBytes(folder + L"lastupdate.log", "\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC\r\n");
    }
    ::Sleep(static_cast<DWORD>(std::stoul(doubles::Setting(kSettings, L"hold", L"3000"))));
    return 0;
}
