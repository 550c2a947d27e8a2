#include "RegistrySnapshot.h"

#include <shlwapi.h>

#include "ContextMenuScan.h"
#include "MSRegistryAPI.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace testsupport {
namespace {

namespace menu = tessaly::context_menu;

std::optional<std::wstring> ReadText(HKEY root, const std::wstring& key, const std::wstring& name) {
    tessaly::RegValue value;
    if (tessaly::ReadRegValue(root, key, name, value) != ERROR_SUCCESS) return std::nullopt;
    if (const auto* text = std::get_if<std::wstring>(&value)) return *text;
    return std::nullopt;
}

void WriteText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    ::SHSetValueW(root, key.c_str(), name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

}  // namespace

RegistrySnapshot::RegistrySnapshot() {
    for (const std::wstring& key : menu::AllVerbKeys())
        m_verbs.push_back({key, ClassesRootDefault(key), ClassesRootDefault(key + menu::kCommandSuffix)});
    m_autoRun = AutoRunValue();
}

RegistrySnapshot::~RegistrySnapshot() {
    for (const VerbState& verb : m_verbs) {
        ::SHDeleteKeyW(HKEY_CLASSES_ROOT, verb.key.c_str());
        if (verb.caption) WriteText(HKEY_CLASSES_ROOT, verb.key, nullptr, *verb.caption);
        if (verb.command) WriteText(HKEY_CLASSES_ROOT, verb.key + menu::kCommandSuffix, nullptr, *verb.command);
    }
    if (m_autoRun)
        WriteText(HKEY_LOCAL_MACHINE, tessaly::kAutoRunKey, tessaly::kAutoRunValueName, *m_autoRun);
    else
        ::SHDeleteValueW(HKEY_LOCAL_MACHINE, tessaly::kAutoRunKey, tessaly::kAutoRunValueName);
}

std::optional<std::wstring> ClassesRootDefault(const std::wstring& key) { return ReadText(HKEY_CLASSES_ROOT, key, L""); }

bool ClassesRootKeyExists(const std::wstring& key) {
    tessaly::unique_hkey handle;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

std::optional<ULONGLONG> ClassesRootLastWrite(const std::wstring& key) {
    tessaly::unique_hkey handle;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) != ERROR_SUCCESS)
        return std::nullopt;
    FILETIME written{};
    if (::RegQueryInfoKeyW(handle.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr, &written) != ERROR_SUCCESS)
        return std::nullopt;
    return (static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

std::optional<std::wstring> AutoRunValue() {
    return ReadText(HKEY_LOCAL_MACHINE, tessaly::kAutoRunKey, tessaly::kAutoRunValueName);
}

void RemoveMainProgramRegistration() {
    menu::RemoveVerbs();
    ::SHDeleteValueW(HKEY_LOCAL_MACHINE, tessaly::kAutoRunKey, tessaly::kAutoRunValueName);
}

}  // namespace testsupport
