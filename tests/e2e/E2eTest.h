// The fixture of the whole-program tests: a private AppData, ProgramData and TEMP inherited by
// every program started, the registry values the main program writes saved and put back, an
// updater that reaches nothing beyond this machine, and staged program folders whose programs are
// all ended when the test is over.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "PrivateDataFolders.h"
#include "RegistrySnapshot.h"
#include "StagedProgramFolder.h"

namespace e2e {

inline constexpr unsigned long kStartTimeoutMs = 60000;
inline constexpr unsigned long kExitTimeoutMs = 20000;
inline constexpr unsigned long kScanTimeoutMs = 60000;
// A fake engine that serves the handshake, records what it receives and never answers a scan.
inline constexpr char kRecordingEngine[] = "idle=1 take=1 pong=1 reply=none record=1";

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A program folder below the test's root; folderName must be plain ASCII.
    StagedProgramFolder& Stage(Engine engine, const std::string& fakeConfig = {},
                               const std::wstring& folderName = L"prog");
    [[nodiscard]] std::wstring Root() const { return m_data.Root(); }
    [[nodiscard]] std::wstring ConfigFile() const { return m_data.ConfigFile(); }
    [[nodiscard]] std::wstring CommonDataFile(const std::wstring& name) const {
        return m_data.CommonDataFolder() + name;
    }
    [[nodiscard]] std::wstring MarkerFile(const std::wstring& marker) const { return CommonDataFile(marker + L".run"); }
    // Where the updater reports ("general"/UpdateURL) and the web server whose host it pings
    // before ("general"/WebServerHost). Until a test says otherwise both are a loopback port that
    // nobody listens on, so an updater that the main program starts ends at once.
    void PointUpdater(const std::wstring& updateUrl, const std::wstring& webServerHost) const;
    // What the fake engine of the folder took from its mailbox, one message a line.
    static std::vector<std::wstring> EngineMessages(const StagedProgramFolder& folder);

private:
    testsupport::RegistrySnapshot m_registry;
    testsupport::PrivateDataFolders m_data{L"tessaly_e2e_", true};
    std::vector<std::unique_ptr<StagedProgramFolder>> m_stages;
};

// True while no engine of anyone holds the engine link's shared block.
bool EngineBlockFree();

}  // namespace e2e
