// The Explorer context-menu verb "Mendwick" that scans a document or folder with drossel.exe: the
// keys below HKEY_CLASSES_ROOT it lives in, and registering, testing and removing it.
#pragma once

#include <array>
#include <string>

namespace tessaly::context_menu {

inline constexpr wchar_t kVerbCaption[] = L"查杀office病毒";
inline constexpr wchar_t kFileTypeRoot[] = L"SystemFileAssociations\\";
inline constexpr wchar_t kVerbPath[] = L"\\shell\\Mendwick";
inline constexpr wchar_t kFolderVerbKey[] = L"Folder\\shell\\Mendwick";
inline constexpr wchar_t kCommandSuffix[] = L"\\command";
// The extension whose command value decides whether the verb is already registered.
inline constexpr wchar_t kProbeExtension[] = L".xls";

inline constexpr std::array<const wchar_t*, 9> kExtensions{
    L".doc", L".docm", L".dotm", L".docx", L".xls", L".xlsm", L".xlam", L".xlm", L".xlsx"};

// "SystemFileAssociations\<extension>\shell\Mendwick".
std::wstring FileTypeVerbKey(const std::wstring& extension);
// The nine file-type verb keys in list order, then the folder verb key.
std::array<std::wstring, 10> AllVerbKeys();
// "<appFolder>drossel.exe" in double quotes, then " /sf %1"; appFolder ends in "\".
std::wstring BuildScanCommandLine(const std::wstring& appFolder);

// True when the ".xls" command value holds commandLine, compared without regard to case.
bool IsRegistered(const std::wstring& commandLine);
// Writes the caption and the command line of all ten verbs; failures are not reported.
void RegisterVerbs(const std::wstring& commandLine);
// Deletes the ten verb keys with their sub-keys; a missing key is no error.
void RemoveVerbs();
// Sets the default value of a key below HKEY_CLASSES_ROOT, creating the key when needed.
void SetClassesRootDefaultValue(const std::wstring& key, const std::wstring& text);

}  // namespace tessaly::context_menu
