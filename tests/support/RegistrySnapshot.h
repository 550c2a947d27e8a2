// The registry values the main program writes: the ten "Mendwick" verb keys below
// HKEY_CLASSES_ROOT and the autorun value. A snapshot saves them and puts them back as they were.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class RegistrySnapshot {
public:
    RegistrySnapshot();
    ~RegistrySnapshot();
    RegistrySnapshot(const RegistrySnapshot&) = delete;
    RegistrySnapshot& operator=(const RegistrySnapshot&) = delete;

private:
    struct VerbState {
        std::wstring key;
        std::optional<std::wstring> caption;
        std::optional<std::wstring> command;
    };
    std::vector<VerbState> m_verbs;
    std::optional<std::wstring> m_autoRun;
};

// Default value of a key below HKEY_CLASSES_ROOT; nullopt when the key or value is missing.
std::optional<std::wstring> ClassesRootDefault(const std::wstring& key);
bool ClassesRootKeyExists(const std::wstring& key);
// Last-write time of a key below HKEY_CLASSES_ROOT; nullopt when the key is missing.
std::optional<ULONGLONG> ClassesRootLastWrite(const std::wstring& key);
std::optional<std::wstring> AutoRunValue();
// Removes the ten verb keys and the autorun value, as on a machine that never ran the program.
void RemoveMainProgramRegistration();

}  // namespace testsupport
