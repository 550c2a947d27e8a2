// kestrine.exe itself, in a program folder of each test's own: start-up and the single-instance
// rule, the icon's mouse events, the menu items, the four timers driven by their WM_TIMER, the
// installing marker and the shell's "TaskbarCreated".
#include <gtest/gtest.h>

#include <filesystem>

#include "BoundedPoll.h"
#include "BoxWatcher.h"
#include "IniOperation.h"
#include "Polling.h"
#include "PrivateDataFolders.h"
#include "ProgramTitle.h"
#include "RemoteWindows.h"
#include "TextFiles.h"
#include "TrayTestSupport.h"
#include "UniqueHandle.h"
#include "frmTrayLayout.h"
#include "modCommon.h"
#include "modTray.h"

namespace traytest {
namespace {

using namespace tessaly::tray;

constexpr wchar_t kMain[] = L"drossel.exe";
constexpr wchar_t kUpdater[] = L"zdvshengji.exe";
constexpr wchar_t kGuard[] = L"zdvguard.exe";

class TrayProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.Ready()) << m_folder.Problem(); }

    void AddAllRecorders() {
        for (const wchar_t* name : {kMain, kUpdater, kGuard}) m_folder.AddRecorder(name);
    }
    void WriteLastCheck(const std::wstring& value) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(m_data.ConfigFile()).parent_path(), error);
        tessaly::WriteIniString(m_data.ConfigFile(), tessaly::ini::kGeneral, tessaly::ini::kLastCheckUpdate, value);
    }
    std::wstring Quoted(const std::wstring& name) const { return L"\"" + m_folder.File(name) + L"\""; }
    // The one message box the item shows. When Choose returns, the form has handled the item and
    // the watcher has answered the box.
    static e2e::SeenBox OnlyBoxOf(const RunningTray& tray, UINT itemId) {
        e2e::BoxWatcher boxes(tray.Id());
        tray.Choose(itemId);
        const auto seen = boxes.Seen();
        EXPECT_EQ(seen.size(), 1u);
        return seen.empty() ? e2e::SeenBox{} : seen.front();
    }

    testsupport::PrivateDataFolders m_data{L"tessaly_tray_"};
    TrayFolder m_folder{m_data.Root() + L"program\\"};
};

// ---- Start-up, second start, exit --------------------------------------------------------------

TEST_F(TrayProgramTest, StartsHiddenWithItsIconAndMarkerAndTheExitItemTakesBothAway) {
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    EXPECT_FALSE(::IsWindowVisible(tray.Form()));
    // A top-level window, so that broadcasts reach it.
    EXPECT_EQ(::GetAncestor(tray.Form(), GA_PARENT), ::GetDesktopWindow());
    EXPECT_EQ(e2e::WindowCaption(tray.Form()), tessaly::kTrayTitle);
    EXPECT_TRUE(tessaly::IsRunMarkerPresent(tessaly::kMarkerTray));
    const int icons = ShellIconCount();
    EXPECT_GE(icons, 1);

    tray.Choose(kIdExit);
    EXPECT_EQ(tray.WaitForExit(), 0u);
    EXPECT_FALSE(tessaly::IsRunMarkerPresent(tessaly::kMarkerTray));
    EXPECT_TRUE(e2e::WaitUntil([&] { return ShellIconCount() == icons - 1; }, kWaitMs));
}

// Watches the windows one process creates, from before its first instruction to its end.
class CreatedWindowWatch {
public:
    CreatedWindowWatch(const std::wstring& exe, const std::wstring& folder) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                              folder.c_str(), &startup, &info))
            return;
        tessaly::ProcessHandles handles = tessaly::TakeProcessHandles(info);
        s_created = 0;
        m_hook = ::SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, &Created, handles.processId, 0,
                                   WINEVENT_OUTOFCONTEXT);
        ::ResumeThread(handles.thread.get());
        m_process = std::move(handles.process);
    }
    ~CreatedWindowWatch() {
        if (m_hook) ::UnhookWinEvent(m_hook);
        if (m_process) ::TerminateProcess(m_process.get(), 1);
    }
    [[nodiscard]] bool Valid() const { return m_process && m_hook; }
    // The exit code once the process ended within the time; the events meanwhile are counted.
    std::optional<DWORD> WaitForExit() {
        HANDLE process = m_process.get();
        // The hook's events arrive as messages of this thread, which the poll lets run.
        const auto ended = [process] { return ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0; };
        if (tessaly::PollUntil(ended, {kWaitMs, 50}) != tessaly::PollResult::Done) return std::nullopt;
        DWORD code = 0;
        ::GetExitCodeProcess(process, &code);
        return code;
    }
    static int Created() { return s_created; }

private:
    static void CALLBACK Created(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG, DWORD, DWORD) {
        if (object == OBJID_WINDOW) ++s_created;
    }
    static inline int s_created = 0;
    tessaly::unique_kernel_handle m_process;
    HWINEVENTHOOK m_hook = nullptr;
};

TEST_F(TrayProgramTest, ASecondStartEndsAtOnceWithoutAWindowOrASecondIcon) {
    RunningTray first(m_folder);
    ASSERT_TRUE(first.Ready());
    const int icons = ShellIconCount();

    CreatedWindowWatch second(m_folder.File(L"kestrine.exe"), m_folder.Folder());
    ASSERT_TRUE(second.Valid());
    EXPECT_EQ(second.WaitForExit(), 0u);
    EXPECT_EQ(CreatedWindowWatch::Created(), 0);
    EXPECT_EQ(ShellIconCount(), icons);
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(ShellKnowsIcon(first.Form()));
    EXPECT_TRUE(tessaly::IsRunMarkerPresent(tessaly::kMarkerTray));
}

// ---- The icon's mouse events -------------------------------------------------------------------

TEST_F(TrayProgramTest, ALeftButtonReleaseStartsTheMainProgramThroughExplorer) {
    AddAllRecorders();
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    tray.PostIconEvent(WM_LBUTTONUP);
    ASSERT_TRUE(WaitForStarts(m_folder, kMain, 1));
    const StartRecord start = StartsOf(m_folder, kMain).front();
    // explorer.exe started it, not the tray program (whose start of explorer.exe has ended by now).
    EXPECT_NE(start.parentId, tray.Id());
    EXPECT_TRUE(start.parentName.empty() || ::lstrcmpiW(start.parentName.c_str(), L"explorer.exe") == 0)
        << start.parentName;
    EXPECT_NE(start.commandLine.find(m_folder.File(kMain)), std::wstring::npos) << start.commandLine;
    EXPECT_TRUE(tray.Running());
}

TEST_F(TrayProgramTest, ADoubleClickStartsTheMainProgramTwiceAndOtherMouseEventsNothing) {
    AddAllRecorders();
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    for (UINT event : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MBUTTONUP})
        tray.Send(kTrayCallbackMessage, 0, static_cast<LPARAM>(event));
    EXPECT_TRUE(NothingStarted(tray.Id(), m_folder));

    // A double click: press, release, double-click press, release.
    for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) tray.PostIconEvent(event);
    EXPECT_TRUE(WaitForStarts(m_folder, kMain, 2));
    ASSERT_TRUE(e2e::WaitUntil([&] { return StartsSettled(tray.Id(), m_folder); }, kWaitMs));
    EXPECT_EQ(StartsOf(m_folder, kMain).size(), 2u);
    EXPECT_EQ(StartsOf(m_folder, kUpdater).size(), 0u);
    EXPECT_EQ(StartsOf(m_folder, kGuard).size(), 0u);
}

TEST_F(TrayProgramTest, ARightButtonReleaseOpensTheMenuAtThePointer) {
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    const POINT pointer{420, 310};
    ASSERT_TRUE(::SetCursorPos(pointer.x, pointer.y));
    tray.PostIconEvent(WM_RBUTTONUP);
    HWND menu = nullptr;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            for (HWND window : e2e::TopWindowsOf(tray.Id(), L"#32768"))
                if (::IsWindowVisible(window)) menu = window;
            return menu != nullptr;
        },
        kWaitMs));
    RECT box{};
    ::GetWindowRect(menu, &box);
    EXPECT_EQ(box.left, pointer.x);
    EXPECT_EQ(box.top, pointer.y);

    ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !::IsWindowVisible(menu); }, kWaitMs));
    EXPECT_TRUE(tray.Running());
    EXPECT_TRUE(NothingStarted(tray.Id(), m_folder));
}

// ---- Menu items --------------------------------------------------------------------------------

TEST_F(TrayProgramTest, TheUpdateItemStartsTheUpdaterWithItsWindowAndManualSwitch) {
    AddAllRecorders();
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    e2e::BoxWatcher boxes(tray.Id());
    tray.Choose(kIdUpdate);
    ASSERT_TRUE(WaitForStarts(m_folder, kUpdater, 1));
    const StartRecord start = StartsOf(m_folder, kUpdater).front();
    EXPECT_EQ(start.commandLine, Quoted(kUpdater) + L" /ui /manual");
    EXPECT_EQ(start.parentId, tray.Id());
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(TrayProgramTest, TheUpdateItemWhileTheUpdaterRunsOnlySaysSo) {
    AddAllRecorders();
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    MarkerHolder updater(tessaly::kMarkerUpdater);
    ASSERT_TRUE(updater.Ready());
    const e2e::SeenBox box = OnlyBoxOf(tray, kIdUpdate);
    EXPECT_EQ(box.title, tessaly::kTrayTitle);
    EXPECT_EQ(box.text, kUpdaterRunningText);
    EXPECT_EQ(box.pressed, IDOK);
    EXPECT_TRUE(NothingStarted(tray.Id(), m_folder));
    EXPECT_TRUE(tray.Running());
}

TEST_F(TrayProgramTest, TheContactItemShowsTheContactAndNothingElse) {
    AddAllRecorders();
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    const e2e::SeenBox box = OnlyBoxOf(tray, kIdContactus);
    EXPECT_EQ(box.title, tessaly::kTrayTitle);
    EXPECT_EQ(box.text, std::wstring(L"程序版本全新升级,请联系QQ:") + tessaly::kSupportContact + L" 获取最新版本");
    EXPECT_TRUE(NothingStarted(tray.Id(), m_folder));
    EXPECT_TRUE(tray.Running());
}

TEST_F(TrayProgramTest, TheMainProgramItemStartsTheMainProgram) {
    AddAllRecorders();
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    tray.Choose(kIdRunMainApp);
    ASSERT_TRUE(WaitForStarts(m_folder, kMain, 1));
    EXPECT_NE(StartsOf(m_folder, kMain).front().parentId, tray.Id());
}

// ---- Timers ------------------------------------------------------------------------------------

TEST_F(TrayProgramTest, TheFirstTimersStartTheUpdaterAndTheGuardOnceEach) {
    AddAllRecorders();
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    tray.Tick(kTimerRunOnceUpdateApp, 2);
    tray.Tick(kTimerStartGuard, 2);
    // Each timer disabled itself: its second event did nothing.
    ASSERT_TRUE(e2e::WaitUntil([&] { return StartsSettled(tray.Id(), m_folder); }, kWaitMs));
    const auto updater = StartsOf(m_folder, kUpdater);
    const auto guard = StartsOf(m_folder, kGuard);
    ASSERT_EQ(updater.size(), 1u);
    ASSERT_EQ(guard.size(), 1u);
    // " /manual" with its leading blank, after the blank that ends the quoted path.
    EXPECT_EQ(updater[0].commandLine, Quoted(kUpdater) + L"  /manual");
    EXPECT_EQ(guard[0].commandLine, m_folder.File(kGuard));
    EXPECT_EQ(updater[0].parentId, tray.Id());
    EXPECT_EQ(guard[0].parentId, tray.Id());
    EXPECT_TRUE(StartsOf(m_folder, kMain).empty());
}

TEST_F(TrayProgramTest, TheGateIsAskedOnThe181stTickAndEvery181After) {
    AddAllRecorders();
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());

    // A check already ran today: the 181st tick starts nothing.
    WriteLastCheck(tessaly::GetDateText());
    tray.Tick(kTimerTask, 181);
    EXPECT_TRUE(NothingStarted(tray.Id(), m_folder));

    // Garbage in the settings file counts as due; the count starts again after each ask.
    WriteLastCheck(L"zz-\x01garbage");
    tray.Tick(kTimerTask, 180);
    EXPECT_TRUE(NothingStarted(tray.Id(), m_folder));
    tray.Tick(kTimerTask, 1);
    ASSERT_TRUE(WaitForStarts(m_folder, kUpdater, 1));
    EXPECT_EQ(StartsOf(m_folder, kUpdater).front().commandLine, m_folder.File(kUpdater));

    // Yesterday's check: due again on the next 181st tick, not before.
    WriteLastCheck(L"01-01-2000");
    tray.Tick(kTimerTask, 180);
    ASSERT_TRUE(e2e::WaitUntil([&] { return StartsSettled(tray.Id(), m_folder); }, kWaitMs));
    EXPECT_EQ(StartsOf(m_folder, kUpdater).size(), 1u);
    tray.Tick(kTimerTask, 1);
    EXPECT_TRUE(WaitForStarts(m_folder, kUpdater, 2));
    EXPECT_TRUE(tray.Running());
}

TEST_F(TrayProgramTest, TheInstallingMarkerRemovesTheIconAndEndsTheProgram) {
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    const HWND form = tray.Form();
    const int icons = ShellIconCount();
    // Nothing to watch for yet: the real one-second timer keeps the program running.
    ::Sleep(1500);
    ASSERT_TRUE(tray.Running());
    ASSERT_TRUE(ShellKnowsIcon(form));

    MarkerHolder installing(tessaly::kMarkerInstalling);
    ASSERT_TRUE(installing.Ready());
    EXPECT_EQ(tray.WaitForExit(5000), 0u);
    EXPECT_FALSE(ShellKnowsIcon(form));
    EXPECT_TRUE(e2e::WaitUntil([&] { return ShellIconCount() == icons - 1; }, kWaitMs));
    EXPECT_FALSE(tessaly::IsRunMarkerPresent(tessaly::kMarkerTray));
}

// ---- The shell ---------------------------------------------------------------------------------

TEST_F(TrayProgramTest, TheIconComesBackWhenTheShellAnnouncesANewNotificationArea) {
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    const int icons = ShellIconCount();
    ASSERT_TRUE(ShellForgetsIcon(tray.Form()));
    ASSERT_FALSE(ShellKnowsIcon(tray.Form()));

    ::SendNotifyMessageW(HWND_BROADCAST, tessaly::tray::TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return ShellKnowsIcon(tray.Form()); }, kWaitMs));
    EXPECT_EQ(ShellIconCount(), icons);
    // A broadcast while the shell still holds the icon adds no second one.
    ::SendNotifyMessageW(HWND_BROADCAST, tessaly::tray::TaskbarCreatedMessage(), 0, 0);
    tray.Send(WM_NULL, 0, 0);
    EXPECT_EQ(ShellIconCount(), icons);
    EXPECT_TRUE(tray.Running());
}

// Under Wine a restarted notification area sends no "TaskbarCreated": the task timer's tick looks.
TEST_F(TrayProgramTest, TheTaskTimerPutsBackAnIconTheShellLostWithoutSayingSo) {
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    const int icons = ShellIconCount();
    tray.Tick(kTimerTask);
    EXPECT_EQ(ShellIconCount(), icons) << "an icon the shell holds is not added twice";
    ASSERT_TRUE(ShellForgetsIcon(tray.Form()));
    tray.Tick(kTimerTask);
    EXPECT_TRUE(ShellKnowsIcon(tray.Form()));
    EXPECT_EQ(ShellIconCount(), icons);
}

TEST_F(TrayProgramTest, AnIconTheShellDidNotTakeIsOfferedAgainByItsRetryTimer) {
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    ASSERT_TRUE(ShellForgetsIcon(tray.Form()));
    tray.Tick(kTimerShowIcon);
    EXPECT_TRUE(ShellKnowsIcon(tray.Form()));
}

// ---- Missing and broken programs ---------------------------------------------------------------

TEST_F(TrayProgramTest, MissingProgramsMakeTheirActionsDoNothingWithoutAMessage) {
    WriteLastCheck(L"garbage");
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    e2e::BoxWatcher boxes(tray.Id());
    tray.Send(kTrayCallbackMessage, 0, WM_LBUTTONUP);
    tray.Choose(kIdRunMainApp);
    tray.Choose(kIdUpdate);
    tray.Tick(kTimerRunOnceUpdateApp);
    tray.Tick(kTimerStartGuard);
    tray.Tick(kTimerTask, 181);
    EXPECT_TRUE(NothingStarted(tray.Id(), m_folder));
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_TRUE(tray.Running());
    EXPECT_TRUE(ShellKnowsIcon(tray.Form()));
}

TEST_F(TrayProgramTest, AProgramThatCannotStartLeavesTheTrayRunningAndIsLogged) {
    for (const wchar_t* name : {kMain, kUpdater, kGuard}) m_folder.AddFile(name, "not a program");
    RunningTray tray(m_folder);
    ASSERT_TRUE(tray.Ready());
    e2e::BoxWatcher boxes(tray.Id());
    tray.Tick(kTimerRunOnceUpdateApp);
    tray.Tick(kTimerStartGuard);
    tray.Choose(kIdUpdate);
    EXPECT_TRUE(tray.Running());
    EXPECT_TRUE(ShellKnowsIcon(tray.Form()));
    EXPECT_TRUE(boxes.Seen().empty());
    const auto log = e2e::ReadUtf8Lines(m_data.CommonDataFolder() + L"kestrine.exe.err");
    ASSERT_TRUE(log.has_value());
    std::size_t refused = 0;
    for (const std::wstring& line : *log) refused += line.find(L"could not start") != std::wstring::npos ? 1 : 0;
    EXPECT_EQ(refused, 3u);
}

}  // namespace
}  // namespace traytest
