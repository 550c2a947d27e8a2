// A user's session with the whole suite: at log-on the autorun value starts the tray program as
// the desktop user; its timers start the guard, the updater through the once-a-day gate and the
// updater with " /manual"; closing the main program leaves the tray program, the guard and the
// engine running, and only the tray's exit item ends the tray program, taking its icon and marker.
#include <gtest/gtest.h>

#include "DesktopUser.h"
#include "IniOperation.h"
#include "Polling.h"
#include "RegistrySnapshot.h"
#include "SuiteTest.h"
#include "TextCompare.h"
#include "UpdaterTestSupport.h"
#include "frmTrayLayout.h"

namespace suitetest {
namespace {

using namespace tessaly::tray;

TEST_F(SuiteTest, AtLogOnTheTrayStartsTheOthersAndOnlyItsExitItemEndsIt) {
    m_service.QueueAnswer(updater_test::ActionJson("31"));
    const e2e::StagedProgramFolder& folder = StageSuite();
    ASSERT_TRUE(folder.Ready());
    auto main = StartMainProgram(folder);
    ASSERT_TRUE(main);
    ASSERT_TRUE(SentElevated(m_service.Posts().at(0))) << "the main program runs with full rights";
    // The main program's settings wrote the autorun value: the tray program of this folder.
    const std::wstring autorun = testsupport::AutoRunValue().value_or(L"<missing>");
    EXPECT_TRUE(e2e::SameNoCase(autorun, L"\"" + folder.File(kTrayProgram) + L"\""))
        << ::testing::PrintToString(autorun);

    auto tray = LogOn();
    ASSERT_TRUE(tray->Ready()) << "no tray program with its icon and marker";
    EXPECT_TRUE(e2e::SameNoCase(e2e::ProcessImagePath(tray->Id()), folder.File(kTrayProgram)));
    EXPECT_FALSE(RunsElevated(tray->Id())) << "the log-on start gave the tray program full rights";

    // timeStartGuard (59 s).
    tray->Tick(kTimerStartGuard);
    ASSERT_TRUE(
        e2e::WaitUntil([&] { return ProcessOf(folder, kGuardProgram) != 0 && MarkerPresent(L"zdvguard"); }, kWaitMs))
        << "the tray program did not start the guard";

    // timerTask: no check ran today (the gate reads the date the main program's check wrote, so
    // it is set back), and the gate is asked on the 181st tick only.
    tessaly::WriteIniString(ConfigFile(), tessaly::ini::kGeneral, tessaly::ini::kLastCheckUpdate, L"01-01-2020");
    tray->Tick(kTimerTask, kTicksBeforeGate);
    EXPECT_EQ(ProcessOf(folder, kUpdaterProgram), 0u) << "the gate was asked before the 181st tick";
    tray->Tick(kTimerTask);
    ASSERT_TRUE(WaitForUpdateChecks(folder, 2)) << "the once-a-day gate started no check";

    // timeRunOnceUpdateApp (40 s): today's check ran, so only " /manual" makes this one report.
    tray->Tick(kTimerRunOnceUpdateApp);
    ASSERT_TRUE(WaitForUpdateChecks(folder, 3)) << "the tray program's manual check did not run";
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 3u);
    // The updaters the tray program started run as the desktop user, as the tray program does.
    EXPECT_TRUE(SentNotElevated(posts[1]));
    EXPECT_TRUE(SentNotElevated(posts[2]));

    // Closing the main program leaves the others running.
    main->Close();
    ASSERT_TRUE(main->WaitForExit(e2e::kExitTimeoutMs).has_value()) << "the main program did not close";
    EXPECT_FALSE(MarkerPresent(L"zdvmain"));
    EXPECT_TRUE(tray->Running());
    EXPECT_TRUE(traytest::ShellKnowsIcon(tray->Form()));
    for (const wchar_t* marker : {L"zdvtray", L"zdvguard", L"zdvcore"}) EXPECT_TRUE(MarkerPresent(marker)) << marker;
    const DWORD guard = ProcessOf(folder, kGuardProgram);
    const DWORD engine = ProcessOf(folder, kEngineProgram);
    EXPECT_NE(guard, 0u);
    EXPECT_NE(engine, 0u);

    // "退出(&X)" takes the icon and the marker along; the guard and the engine stay.
    const int icons = traytest::ShellIconCount();
    const HWND form = tray->Form();
    tray->Choose(kIdExit);
    EXPECT_EQ(tray->WaitForExit(), 0u);
    EXPECT_FALSE(traytest::ShellKnowsIcon(form));
    EXPECT_TRUE(e2e::WaitUntil([&] { return traytest::ShellIconCount() == icons - 1; }, traytest::kWaitMs));
    EXPECT_FALSE(MarkerPresent(L"zdvtray"));
    EXPECT_EQ(ProcessOf(folder, kGuardProgram), guard);
    EXPECT_EQ(ProcessOf(folder, kEngineProgram), engine);
    EXPECT_TRUE(MarkerPresent(L"zdvguard"));
    EXPECT_TRUE(MarkerPresent(L"zdvcore"));
}

}  // namespace
}  // namespace suitetest
