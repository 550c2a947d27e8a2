#include "PrivateDataFolders.h"

#include <windows.h>

#include <filesystem>

namespace testsupport {

PrivateDataFolders::PrivateDataFolders(const std::wstring& prefix, bool privateTemp) {
    wchar_t temp[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    m_root = std::wstring(temp) + prefix + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++serial) +
             L"_" + std::to_wstring(::GetTickCount()) + L"\\";
    Point(L"AppData", m_root + L"AppData");
    Point(L"ProgramData", m_root + L"ProgramData");
    if (privateTemp) {
        Point(L"TEMP", m_root + L"Temp");
        Point(L"TMP", m_root + L"Temp");
    }
}

PrivateDataFolders::~PrivateDataFolders() {
    m_variables.clear();
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

void PrivateDataFolders::Point(const wchar_t* name, const std::wstring& folder) {
    std::filesystem::create_directories(folder);
    m_variables.push_back(std::make_unique<ScopedEnvironmentVariable>(name, folder));
}

std::wstring PrivateDataFolders::ConfigFile() const { return m_root + L"AppData\\Tessaly\\config.dat"; }

std::wstring PrivateDataFolders::CommonDataFolder() const { return m_root + L"ProgramData\\Tessaly\\"; }

}  // namespace testsupport
