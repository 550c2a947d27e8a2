// The fixture of the whole-suite tests: the whole-program fixture with one staged folder of every
// real program and the real engine, the loopback update service the updater reports to, the
// installer-package double's settings, and the ways a user's session starts the programs: the
// main program by hand, the tray program from the autorun value at log-on.
#pragma once

#include <memory>
#include <string>

#include "DrosselRun.h"
#include "E2eTest.h"
#include "TrayTestSupport.h"
#include "UpdateService.h"

namespace suitetest {

inline constexpr DWORD kWaitMs = 30000;

// The programs of the folder.
inline constexpr wchar_t kTrayProgram[] = L"kestrine.exe";
inline constexpr wchar_t kGuardProgram[] = L"zdvguard.exe";
inline constexpr wchar_t kEngineProgram[] = L"zdvcore.exe";
inline constexpr wchar_t kUpdaterProgram[] = L"zdvshengji.exe";

class SuiteTest : public e2e::E2eTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The program folder with the real engine; ends the test when it cannot be made.
    e2e::StagedProgramFolder& StageSuite();
    // The main program, started with the full rights its manifest asks for, once its start-up is
    // over. Its once-only update check (the 30-second timer) is run at once and waited for, so
    // that it cannot meet an updater that a test starts later. Null when either failed.
    std::unique_ptr<e2e::DrosselRun> StartMainProgram(const e2e::StagedProgramFolder& folder);
    // The log-on start: what the autorun value names, started as the desktop user.
    std::unique_ptr<traytest::RunningTray> LogOn();

    [[nodiscard]] bool MarkerPresent(const std::wstring& name) const;
    // The running process of the folder's program of that name; 0 when none runs.
    static DWORD ProcessOf(const e2e::StagedProgramFolder& folder, const std::wstring& program);
    // The update requests reach count, then no updater of the folder runs any more.
    bool WaitForUpdateChecks(const e2e::StagedProgramFolder& folder, std::size_t count);
    // The request's "ExecutionLevel" says the updater ran with full rights (or not).
    static bool SentElevated(const updater_test::RecordedRequest& request);
    static bool SentNotElevated(const updater_test::RecordedRequest& request);

    [[nodiscard]] std::wstring UserDataFolder() const { return Root() + L"AppData\\Tessaly\\"; }
    [[nodiscard]] std::wstring UpdateTempFolder() const { return Root() + L"Temp\\zdvupdate_tmp\\"; }

    updater_test::UpdateService m_service;
};

}  // namespace suitetest
