// Test folders and file helpers for the quarantine tests.
#include "QuarantineTestSupport.h"

#include "ClsQuarantineLock.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

#include <atomic>
#include <filesystem>

namespace tessaly::test {

std::string ReadBytes(const std::wstring& path) {
    unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (!file) return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD put = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string MakeContent(std::size_t length, unsigned seed) {
    std::string bytes(length, '\0');
    unsigned state = seed * 2654435761u + 12345u;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

std::string Scrambled(std::string bytes) {
    for (char& c : bytes) c = static_cast<char>(c ^ 0x5B);
    return bytes;
}

std::wstring Utf8(const char* text) { return Utf8ToWide(text); }

void QuarantineFolderTest::SetUp() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, temp);
    m_root = std::wstring(temp) + L"tq_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
             std::to_wstring(::GetTickCount64()) + L"_" + std::to_wstring(counter++);
    ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(DocsFolder().c_str(), nullptr));
    ::SetEnvironmentVariableW(L"ProgramData", m_root.c_str());
    m_dataFolder = GetCommonDataFolder();
    ASSERT_EQ(m_dataFolder.rfind(m_root, 0), 0u);
    quarantine::SetLockTimeout(20000);
}

void QuarantineFolderTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(m_root), ignored);
}

std::wstring QuarantineFolderTest::MakeDoc(const std::wstring& name, const std::string& bytes) const {
    const std::wstring path = Doc(name);
    EXPECT_TRUE(WriteBytes(path, bytes)) << WideToUtf8(path);
    return path;
}

int QuarantineFolderTest::StoredCopyCount() const {
    int count = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(StoreFolder()), ec)) {
        (void)entry;
        ++count;
    }
    return count;
}

}  // namespace tessaly::test
