// The main window's timers in one run: the contact link and the release notes of
// "lastupdate.log" once after about 15 s (the file then gone), the real updater started with
// "/manual" after about 30 s (it reports to the loopback update service although a check already
// ran today), the real guard after about 60 s, and the installation marker closing the window at
// the next 10-second check (the guard ends at its own installing watch).
#include <gtest/gtest.h>

#include "DrosselRun.h"
#include "E2eTest.h"
#include "IniOperation.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "TextFiles.h"
#include "UpdaterTestSupport.h"
#include "UserTexts.h"
#include "ChildProcess.h"
#include "GuardForm.h"
#include "frmMain.h"
#include "frmShowMsg.h"
#include "modCommon.h"

namespace e2e {
namespace {

constexpr DWORD kNotesTimeoutMs = 30000;
constexpr DWORD kInstallWatchTimeoutMs = 15000;
constexpr DWORD kUpdaterTimeoutMs = 30000;  // after the notes, at about 30 s
constexpr DWORD kGuardTimeoutMs = 45000;    // after the updater, at about 60 s

// The notes as the installer writes them (UTF-8), and as the dialog must show them: trimmed.
constexpr char kNotesFileText[] = "  本次更新:\r\n修复了扫描进度的显示  ";
constexpr wchar_t kNotesShown[] = L"本次更新:\r\n修复了扫描进度的显示";

}  // namespace

TEST_F(E2eTest, TimersShowTheNotesStartUpdaterAndGuardAndTheInstallationMarkerCloses) {
    StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    WriteBytes(folder.File(texts::kNotesFile), kNotesFileText);
    updater_test::UpdateService service;
    ASSERT_TRUE(service.Running());
    service.QueueAnswer(updater_test::ActionJson("31"));
    PointUpdater(service.UpdateUrl(), L"http://127.0.0.1");
    // A check already ran today: only "/manual" makes the updater report.
    tessaly::WriteIniString(ConfigFile(), tessaly::ini::kGeneral, tessaly::ini::kLastCheckUpdate, tessaly::GetDateText());

    // The real guard runs: its marker names a process of the folder's guard program.
    const auto guardId = [&]() -> DWORD {
        const std::optional<std::string> id = ReadBytes(MarkerFile(L"zdvguard"));
        if (!id || id->empty() || id->find_first_not_of("0123456789") != std::string::npos) return 0;
        const DWORD pid = static_cast<DWORD>(std::stoul(*id));
        return ::lstrcmpiW(ProcessImagePath(pid).c_str(), folder.Guard().c_str()) == 0 ? pid : 0;
    };
    const auto GuardRuns = [&] { return guardId() != 0; };

    DrosselRun run(folder, L"");
    ASSERT_TRUE(run.WaitUntilReady(kStartTimeoutMs)) << "no ready main window";
    HWND contact = run.MainControl(tessaly::frmMain::kIdLblContactUs);
    EXPECT_FALSE(HasVisibleStyle(contact));
    EXPECT_TRUE(FileExists(folder.File(texts::kNotesFile)));

    HWND notes = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (notes = FindTopWindow(run.Id(), texts::kNotesCaption)) != nullptr; },
                          kNotesTimeoutMs, 200))
        << "no release notes";
    EXPECT_FALSE(FileExists(folder.File(texts::kNotesFile)));
    EXPECT_EQ(ControlText(::GetDlgItem(notes, tessaly::frmShowMsg::kLblTitleId)), texts::kNotesTitle);
    EXPECT_EQ(ControlText(::GetDlgItem(notes, tessaly::frmShowMsg::kTextMessageId)), kNotesShown);
    EXPECT_TRUE(HasVisibleStyle(contact));
    EXPECT_EQ(ControlText(contact).rfind(texts::kContactPrefix, 0), 0u) << ::testing::PrintToString(ControlText(contact));
    EXPECT_TRUE(service.Posts().empty()) << "the updater started before its time";
    EXPECT_FALSE(GuardRuns()) << "the guard started before its time";

    ASSERT_TRUE(WaitUntil([&] { return !service.Posts().empty(); }, kUpdaterTimeoutMs, 200))
        << "the updater was not started with \"/manual\"";
    EXPECT_FALSE(GuardRuns()) << "the guard started with the updater";
    ASSERT_TRUE(WaitUntil(GuardRuns, kGuardTimeoutMs, 200)) << "the guard was not started";
    EXPECT_EQ(service.Posts().size(), 1u) << "the updater timer ran more than once";

    WriteBytes(MarkerFile(texts::kInstallingMarker), "1");
    ASSERT_TRUE(run.WaitForExit(kInstallWatchTimeoutMs).has_value()) << "the installation marker did not close drossel.exe";
    EXPECT_FALSE(FileExists(MarkerFile(texts::kMainMarker)));
    // The process may end before the engine has taken its last message from the mailbox.
    std::vector<std::wstring> messages;
    EXPECT_TRUE(WaitUntil(
        [&] {
            messages = EngineMessages(folder);
            return !messages.empty() && messages.back() == L"CLIENT::EXIT";
        },
        kInstallWatchTimeoutMs))
        << ::testing::PrintToString(messages);
    EXPECT_TRUE(run.Boxes().Seen().empty());

    // The guard's installing watch, at its tick, ends the guard too.
    const DWORD guard = guardId();
    ASSERT_NE(guard, 0u) << "the guard ended before the installing watch";
    HWND guardWindow = FindTopWindow(guard, tessaly::guard::kGuardCaption);
    ASSERT_NE(guardWindow, nullptr);
    ::PostMessageW(guardWindow, WM_TIMER, tessaly::guard::frmMain::kTimerCheckUpgrading, 0);
    EXPECT_TRUE(WaitForProcessEnd(guard, kInstallWatchTimeoutMs)) << "the installation marker did not end the guard";
}

}  // namespace e2e
