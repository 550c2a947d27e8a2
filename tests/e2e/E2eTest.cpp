#include "E2eTest.h"

#include <windows.h>

#include <filesystem>

#include "IniOperation.h"
#include "Polling.h"
#include "TextFiles.h"
#include "UniqueHandle.h"
#include "UpdateService.h"

namespace e2e {
namespace {

constexpr wchar_t kEngineBlockName[] = L"zdv_share_mem_pipe";
constexpr DWORD kBlockFreeTimeoutMs = 20000;

}  // namespace

bool EngineBlockFree() {
    const tessaly::unique_kernel_handle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, kEngineBlockName));
    return !mapping;
}

void E2eTest::SetUp() {
    // A test's drossel.exe must meet the engine of its own folder, not one left by someone else.
    ASSERT_TRUE(WaitUntil(EngineBlockFree, kBlockFreeTimeoutMs)) << "another engine holds the shared block";
    const std::wstring closed = updater_test::UpdateService::UnreachableRoot();
    PointUpdater(closed + L"/tessaly/update1", closed);
}

void E2eTest::TearDown() {
    m_stages.clear();
    EXPECT_TRUE(WaitUntil(EngineBlockFree, kBlockFreeTimeoutMs)) << "the engine's block outlived its programs";
}

StagedProgramFolder& E2eTest::Stage(Engine engine, const std::string& fakeConfig, const std::wstring& folderName) {
    m_stages.push_back(std::make_unique<StagedProgramFolder>(Root() + folderName + L"\\", engine, fakeConfig));
    return *m_stages.back();
}

void E2eTest::PointUpdater(const std::wstring& updateUrl, const std::wstring& webServerHost) const {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(ConfigFile()).parent_path(), ignored);
    tessaly::WriteIniString(ConfigFile(), tessaly::ini::kGeneral, tessaly::ini::kUpdateURL, updateUrl);
    tessaly::WriteIniString(ConfigFile(), tessaly::ini::kGeneral, tessaly::ini::kWebServerHost, webServerHost);
}

std::vector<std::wstring> E2eTest::EngineMessages(const StagedProgramFolder& folder) {
    return ReadUtf8Lines(folder.File(L"messages.log")).value_or(std::vector<std::wstring>{});
}

}  // namespace e2e
