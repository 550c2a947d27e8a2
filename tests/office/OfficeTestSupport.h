// Fixtures for the Office discovery tests: registry keys, environment variables and folders that
// each test lays out and that are put back as they were when the test ends.
#pragma once

#include "ScopedEnvironment.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tessaly::test {

// Owns one registry key for a test: what existed is backed up and restored, what did not exist
// (from the first missing ancestor down) is deleted again.
class RegistryKeyGuard {
public:
    RegistryKeyGuard(HKEY root, std::wstring subKey);
    ~RegistryKeyGuard();
    RegistryKeyGuard(const RegistryKeyGuard&) = delete;
    RegistryKeyGuard& operator=(const RegistryKeyGuard&) = delete;

private:
    HKEY m_root;
    std::wstring m_subKey;
    std::wstring m_createdTop;  // first ancestor that did not exist, "" when the key existed
    std::wstring m_backup;      // HKCU key holding the old contents, "" when none was taken
};

void SetRegText(HKEY root, const std::wstring& subKey, const std::wstring& name, const std::wstring& value,
                DWORD type = REG_SZ);

// A fresh folder removed with everything in it at the end. Under the temporary folder by default;
// atDriveRoot puts it directly below C:\ for layouts that depend on the first path levels.
class TempFolder {
public:
    explicit TempFolder(bool atDriveRoot = false);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Path without trailing "\".
    const std::wstring& path() const { return m_path; }
    // Creates the sub-folder (and its parents) and returns its full path.
    std::wstring MakeDir(const std::wstring& relative) const;
    // Creates a file with some bytes (and its folder) and returns its full path.
    std::wstring MakeFile(const std::wstring& relative, const std::string& bytes = "tessaly") const;
    // A copy of the running test program, which carries the version resource of the build.
    std::wstring CopyOfThisProgram(const std::wstring& relative) const;

private:
    std::wstring m_path;
};

// Sets HKEY_CLASSES_ROOT\<extension> to progId and progId's open command; both keys are guarded.
class Association {
public:
    Association(const std::wstring& extension, const std::wstring& progId, const std::wstring& command);

private:
    RegistryKeyGuard m_extension;
    RegistryKeyGuard m_progId;
};

// Guards every association the discovery reads, so that each test starts without any.
class NoAssociations {
public:
    NoAssociations();

private:
    RegistryKeyGuard m_docx, m_xlsx, m_doc, m_xls;
};

std::wstring Lower(std::wstring text);
// A name unique to this test process, for keys and folders shared with other tests' processes.
std::wstring UniqueName(const std::wstring& stem);

}  // namespace tessaly::test
