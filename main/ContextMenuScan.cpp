// Registry work of the scan verb. Values are REG_SZ set through the wide shell functions, so the
// program folder keeps every character; readers of the 8-bit view get the code-page text.
#include "ContextMenuScan.h"

#include <windows.h>
#include <shlwapi.h>

#include "MSRegistryAPI.h"
#include "ProgramFiles.h"
#include "TextConvert.h"

namespace tessaly::context_menu {

std::wstring FileTypeVerbKey(const std::wstring& extension) {
    return std::wstring(kFileTypeRoot) + extension + kVerbPath;
}

std::array<std::wstring, 10> AllVerbKeys() {
    std::array<std::wstring, 10> keys;
    for (std::size_t i = 0; i < kExtensions.size(); ++i) keys[i] = FileTypeVerbKey(kExtensions[i]);
    keys[kExtensions.size()] = kFolderVerbKey;
    return keys;
}

std::wstring BuildScanCommandLine(const std::wstring& appFolder) {
    return L"\"" + appFolder + kMainProgramFile + L"\" /sf %1";
}

bool IsRegistered(const std::wstring& commandLine) {
    RegValue value;
    const std::wstring key = FileTypeVerbKey(kProbeExtension) + kCommandSuffix;
    if (ReadRegValue(HKEY_CLASSES_ROOT, key, L"", value) != ERROR_SUCCESS) return false;
    const auto* text = std::get_if<std::wstring>(&value);
    if (!text || text->empty()) return false;
    return ToLowerText(*text).find(ToLowerText(commandLine)) != std::wstring::npos;
}

void SetClassesRootDefaultValue(const std::wstring& key, const std::wstring& text) {
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    ::SHSetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, text.c_str(), bytes);
}

void RegisterVerbs(const std::wstring& commandLine) {
    for (const std::wstring& key : AllVerbKeys()) {
        SetClassesRootDefaultValue(key, kVerbCaption);
        SetClassesRootDefaultValue(key + kCommandSuffix, commandLine);
    }
}

void RemoveVerbs() {
    for (const std::wstring& key : AllVerbKeys()) ::SHDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

}  // namespace tessaly::context_menu
