// Prints what the common library finds on this machine: the folders, the settings file, the
// installation identity and the program's version text.
#include <windows.h>

#include <string>

#include "ClsWMI.h"
#include "IniOperation.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace {

// The console takes UTF-16 directly; a pipe or file gets UTF-8 so Chinese text survives.
void PrintLine(const std::wstring& text) {
    const std::wstring line = text + L"\r\n";
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(out, &mode)) {
        ::WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const std::string bytes = tessaly::WideToUtf8(line);
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void PrintField(const wchar_t* label, const std::wstring& value) { PrintLine(std::wstring(label) + L": " + value); }

}  // namespace

int wmain() {
    using namespace tessaly;
    ::SetCurrentDirectoryW(GetAppFolder().c_str());
    PrintLine(L"Tessaly2021(Brenmoor增强版) 公共库演示");
    PrintField(L"程序文件夹 (program folder)", GetAppFolder());
    PrintField(L"用户数据文件夹 (per-user data folder)", GetUserDataFolder());
    PrintField(L"公共数据文件夹 (per-machine data folder)", GetCommonDataFolder());
    const std::wstring configFile = GetConfigFilePath();
    PrintField(L"设置文件 (settings file)", configFile);

    ClsWMI wmi;
    EnsureInstalledUUID(wmi, configFile);
    PrintField(L"安装标识 (installation identity)", ReadIniString(configFile, ini::kGeneral, ini::kInstalledUUID, L""));
    PrintField(L"版本 (version)", GetAppVersion());
    return 0;
}
