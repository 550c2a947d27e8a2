// Fixtures for the Office discovery tests.
#include "OfficeTestSupport.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "UniqueHandle.h"

namespace tessaly::test {

namespace {

bool KeyExists(HKEY root, const std::wstring& subKey) {
    unique_hkey key;
    return ::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::wstring FirstMissingAncestor(HKEY root, const std::wstring& subKey) {
    size_t pos = 0;
    for (;;) {
        pos = subKey.find(L'\\', pos + 1);
        const std::wstring prefix = subKey.substr(0, pos);
        if (!KeyExists(root, prefix)) return prefix;
        if (pos == std::wstring::npos) return {};
    }
}

}  // namespace

std::wstring UniqueName(const std::wstring& stem) {
    static std::atomic<int> counter{0};
    return stem + L"_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return text;
}

RegistryKeyGuard::RegistryKeyGuard(HKEY root, std::wstring subKey) : m_root(root), m_subKey(std::move(subKey)) {
    m_createdTop = FirstMissingAncestor(m_root, m_subKey);
    if (m_createdTop.empty()) {
        m_backup = L"Software\\TessalyOfficeTestBackup\\" + UniqueName(L"key");
        unique_hkey backup;
        unique_hkey source;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_backup.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, backup.put(),
                              nullptr) == ERROR_SUCCESS &&
            ::RegOpenKeyExW(m_root, m_subKey.c_str(), 0, KEY_READ, source.put()) == ERROR_SUCCESS) {
            ::RegCopyTreeW(source.get(), nullptr, backup.get());
        }
        ::RegDeleteTreeW(m_root, m_subKey.c_str());
    }
}

RegistryKeyGuard::~RegistryKeyGuard() {
    if (!m_createdTop.empty()) {
        ::RegDeleteTreeW(m_root, m_createdTop.c_str());
        ::RegDeleteKeyW(m_root, m_createdTop.c_str());
        return;
    }
    ::RegDeleteTreeW(m_root, m_subKey.c_str());
    {
        unique_hkey target;
        unique_hkey backup;
        if (::RegCreateKeyExW(m_root, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, target.put(),
                              nullptr) == ERROR_SUCCESS &&
            ::RegOpenKeyExW(HKEY_CURRENT_USER, m_backup.c_str(), 0, KEY_READ, backup.put()) == ERROR_SUCCESS)
            ::RegCopyTreeW(backup.get(), nullptr, target.get());
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_backup.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, m_backup.c_str());
    // The backup root is shared by every guard; it goes once it is empty (fails quietly otherwise).
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TessalyOfficeTestBackup");
}

void SetRegText(HKEY root, const std::wstring& subKey, const std::wstring& name, const std::wstring& value,
                DWORD type) {
    unique_hkey key;
    if (::RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    ::RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, type,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

TempFolder::TempFolder(bool atDriveRoot) {
    std::wstring base;
    if (atDriveRoot) {
        base = L"C:\\";
    } else {
        wchar_t temp[MAX_PATH + 1]{};
        ::GetTempPathW(MAX_PATH + 1, temp);
        base = temp;
    }
    m_path = base + UniqueName(L"tessaly_office");
    std::filesystem::create_directories(m_path);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Hidden or read-only entries the tests made must not keep the folder alive.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(m_path, ignored);
}

std::wstring TempFolder::MakeDir(const std::wstring& relative) const {
    const std::wstring full = m_path + L"\\" + relative;
    std::filesystem::create_directories(full);
    return full;
}

std::wstring TempFolder::MakeFile(const std::wstring& relative, const std::string& bytes) const {
    const std::wstring full = m_path + L"\\" + relative;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(std::filesystem::path(full), std::ios::binary) << bytes;
    return full;
}

std::wstring TempFolder::CopyOfThisProgram(const std::wstring& relative) const {
    wchar_t self[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring full = m_path + L"\\" + relative;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    ::CopyFileW(self, full.c_str(), FALSE);
    return full;
}

Association::Association(const std::wstring& extension, const std::wstring& progId, const std::wstring& command)
    : m_extension(HKEY_CLASSES_ROOT, extension), m_progId(HKEY_CLASSES_ROOT, progId) {
    SetRegText(HKEY_CLASSES_ROOT, extension, L"", progId);
    if (!command.empty()) SetRegText(HKEY_CLASSES_ROOT, progId + L"\\shell\\Open\\command", L"", command);
}

NoAssociations::NoAssociations()
    : m_docx(HKEY_CLASSES_ROOT, L".docx"),
      m_xlsx(HKEY_CLASSES_ROOT, L".xlsx"),
      m_doc(HKEY_CLASSES_ROOT, L".doc"),
      m_xls(HKEY_CLASSES_ROOT, L".xls") {}

}  // namespace tessaly::test
