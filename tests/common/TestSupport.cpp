// Every test run gets its own AppData and ProgramData, so runs in the shared Wine prefix never
// see each other's settings files, markers or logs.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "modCommon.h"

namespace testsupport {
namespace {

std::wstring MakeRunRoot() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"tessaly_common_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
           std::to_wstring(::GetTickCount64()) + L"\\";
}

class IsolatedFolders : public ::testing::Environment {
public:
    void SetUp() override {
        std::filesystem::create_directories(RunRoot() + L"appdata");
        std::filesystem::create_directories(RunRoot() + L"programdata");
        ::SetEnvironmentVariableW(L"AppData", (RunRoot() + L"appdata").c_str());
        ::SetEnvironmentVariableW(L"ProgramData", (RunRoot() + L"programdata").c_str());
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(RunRoot(), ignored);
    }
};

[[maybe_unused]] auto* const g_environment = ::testing::AddGlobalTestEnvironment(new IsolatedFolders);

}  // namespace

const std::wstring& RunRoot() {
    static const std::wstring root = MakeRunRoot();
    return root;
}

std::wstring FreshFolder(const std::wstring& tag) {
    static std::atomic<int> counter{0};
    const std::wstring folder = RunRoot() + tag + L"_" + std::to_wstring(++counter) + L"\\";
    std::filesystem::create_directories(folder);
    return folder;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring TestBinFolder() { return tessaly::GetAppFolder(); }

}  // namespace testsupport
