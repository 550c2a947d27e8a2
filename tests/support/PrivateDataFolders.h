// A fresh folder under the temporary folder that "AppData" and "ProgramData" (and, when asked,
// "TEMP" and "TMP") point into for the object's life; removed with everything in it at the end.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ScopedEnvironment.h"

namespace testsupport {

class PrivateDataFolders {
public:
    explicit PrivateDataFolders(const std::wstring& prefix = L"tessaly_main_", bool privateTemp = false);
    ~PrivateDataFolders();
    PrivateDataFolders(const PrivateDataFolders&) = delete;
    PrivateDataFolders& operator=(const PrivateDataFolders&) = delete;

    // With a trailing "\".
    const std::wstring& Root() const { return m_root; }
    std::wstring ConfigFile() const;
    // The per-machine data folder the programs use, with a trailing "\".
    std::wstring CommonDataFolder() const;

private:
    void Point(const wchar_t* name, const std::wstring& folder);

    std::wstring m_root;
    std::vector<std::unique_ptr<ScopedEnvironmentVariable>> m_variables;
};

}  // namespace testsupport
