// The update road, whole: the tray program started at log-on starts the updater, which finds an
// offer at the loopback update service, downloads and verifies the package and, running as the
// desktop user, caches it and hands it to its temporary copy. The copy holds "zdvinstalling"; the
// tray program, the main program, the guard and the engine step aside in their times; the copy
// runs the package into the program folder and clears the cache; the next start of the main
// program shows the package's release notes once.
#include <gtest/gtest.h>

#include <iostream>
#include <optional>

#include "IniOperation.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "SuiteTest.h"
#include "TextConvert.h"
#include "TextFiles.h"
#include "UpdaterTestSupport.h"
#include "frmMain.h"
#include "frmShowMsg.h"
#include "frmTrayLayout.h"

namespace suitetest {
namespace {

constexpr wchar_t kNotesCaption[] = L"最新版本特性";
constexpr std::size_t kPackageSize = 1536 * 1024;

// How long after "zdvinstalling" appears each program may take to be gone: the watch interval of
// each (1 s, 10 s, 15 s, the engine's 1 s) and a little more for the poll and the process's end
// on a busy machine. Destroying a shown window takes up to 2 s more here: without a window
// manager on the X display Wine waits that long for the window to be withdrawn.
constexpr DWORD kSlackMs = 3000;
// The tray program's form is never shown: about its 1-s watch, with nothing to wait for.
constexpr DWORD kTrayGoneMs = 2000;
constexpr DWORD kMainGoneMs = 10000 + kSlackMs;
constexpr DWORD kGuardGoneMs = 15000 + kSlackMs;
constexpr DWORD kEngineGoneMs = 1000 + kSlackMs;
// The copy waits at most 60 polls of a second for the others, then the package runs.
constexpr DWORD kInstallMs = 90000;

// When each program was first seen gone, in milliseconds after the installing marker appeared.
struct StepAside {
    std::optional<ULONGLONG> icon, tray, mainWindow, guard, engine, updater;
    [[nodiscard]] bool All() const { return icon && tray && mainWindow && guard && engine && updater; }
};

std::wstring Describe(const std::optional<ULONGLONG>& ms) { return ms ? std::to_wstring(*ms) + L" ms" : L"never"; }

}  // namespace

TEST_F(SuiteTest, AnOfferIsInstalledByTheCopyWhileEveryProgramStepsAside) {
    const std::string package = updater_test::PackageBytes(kPackageSize);
    m_service.SetPackage(package);
    m_service.QueueAnswer(updater_test::ActionJson("31"));  // the main program's own check
    m_service.QueueAnswer(updater_test::OfferJson(m_service, package));
    const e2e::StagedProgramFolder& folder = StageSuite();
    ASSERT_TRUE(folder.Ready());

    auto main = StartMainProgram(folder);
    ASSERT_TRUE(main);
    auto tray = LogOn();
    ASSERT_TRUE(tray->Ready()) << "no tray program with its icon and marker";
    const HWND trayForm = tray->Form();
    const HWND mainWindow = main->Window();
    tray->Tick(tessaly::tray::kTimerStartGuard);
    ASSERT_TRUE(e2e::WaitUntil([&] { return MarkerPresent(L"zdvguard"); }, kWaitMs)) << "no guard";
    ASSERT_TRUE(MarkerPresent(L"zdvcore")) << "no engine";
    EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));

    // The tray program's updater (40 s) finds the offer.
    tray->Tick(tessaly::tray::kTimerRunOnceUpdateApp);
    ASSERT_TRUE(e2e::WaitUntil([&] { return MarkerPresent(L"zdvinstalling"); }, kWaitMs, 20))
        << "no installation began";
    const ULONGLONG began = ::GetTickCount64();

    StepAside gone;
    const auto note = [&](std::optional<ULONGLONG>& when, bool isGone) {
        if (!when && isGone) when = ::GetTickCount64() - began;
    };
    e2e::WaitUntil(
        [&] {
            note(gone.icon, !traytest::ShellKnowsIcon(trayForm));
            note(gone.tray, !tray->Running());
            note(gone.mainWindow, !::IsWindow(mainWindow));
            note(gone.guard, ProcessOf(folder, kGuardProgram) == 0);
            note(gone.engine, ProcessOf(folder, kEngineProgram) == 0);
            note(gone.updater, ProcessOf(folder, kUpdaterProgram) == 0);
            return gone.All();
        },
        kGuardGoneMs + kSlackMs, 20);
    std::wcout << L"stepped aside after: icon " << Describe(gone.icon) << L", tray " << Describe(gone.tray)
               << L", main window " << Describe(gone.mainWindow) << L", guard " << Describe(gone.guard) << L", engine "
               << Describe(gone.engine) << L", updater " << Describe(gone.updater) << std::endl;
    const auto within = [](const std::optional<ULONGLONG>& when, DWORD limitMs) { return when && *when <= limitMs; };
    EXPECT_TRUE(within(gone.icon, kTrayGoneMs)) << "tray icon: " << Describe(gone.icon);
    EXPECT_TRUE(within(gone.tray, kTrayGoneMs)) << "tray program: " << Describe(gone.tray);
    EXPECT_TRUE(within(gone.mainWindow, kMainGoneMs)) << "main window: " << Describe(gone.mainWindow);
    EXPECT_TRUE(within(gone.guard, kGuardGoneMs)) << "guard: " << Describe(gone.guard);
    EXPECT_TRUE(within(gone.engine, kEngineGoneMs)) << "engine: " << Describe(gone.engine);
    // The updater that handed over ends once the copy holds the marker.
    EXPECT_TRUE(within(gone.updater, kTrayGoneMs)) << "updater: " << Describe(gone.updater);
    EXPECT_TRUE(main->WaitForExit(e2e::kExitTimeoutMs).has_value());
    EXPECT_TRUE(main->Boxes().Seen().empty());

    // The copy installs, clears the cache and ends; its marker goes with it.
    const std::wstring cached = UserDataFolder() + L"zdvupdatepkg.exe";
    ASSERT_TRUE(e2e::WaitUntil(
        [&] { return !MarkerPresent(L"zdvinstalling") && e2e::ProcessesFromFolder(UpdateTempFolder()).empty(); },
        kInstallMs, 100))
        << "the temporary copy did not finish";
    const auto runs = updater_test::ReadUtf8Lines(CommonDataFile(L"testpackage.log"));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], cached + L"|/verysilent /installpath \"" + tessaly::ToLowerText(folder.Folder()) + L"\"");
    EXPECT_TRUE(e2e::FileExists(folder.File(L"installed.txt")));
    EXPECT_FALSE(e2e::FileExists(cached));
    EXPECT_EQ(tessaly::ReadIniString(ConfigFile(), tessaly::ini::kUpdate, tessaly::ini::kPackageSize, L""), L"0");
    EXPECT_EQ(tessaly::ReadIniString(ConfigFile(), tessaly::ini::kUpdate, tessaly::ini::kCacheDate, L"(empty)"),
              L"(empty)");
    EXPECT_EQ(tessaly::ReadIniString(ConfigFile(), tessaly::ini::kUpdate, tessaly::ini::kPackageHash, L"(empty)"),
              L"(empty)");
    EXPECT_TRUE(e2e::ProcessesFromFolder(folder.Folder()).empty()) << "a program came back during the installation";

    // The main program (elevated) checked first and was up to date; the tray program's updater ran
    // as the desktop user, so the package went the way of the cache and the temporary copy.
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_TRUE(SentElevated(posts[0]));
    EXPECT_TRUE(SentNotElevated(posts[1]));
    EXPECT_FALSE(m_service.PackageGets().empty());

    // The next start of the main program shows the package's release notes once.
    m_service.QueueAnswer(updater_test::ActionJson("31"));
    auto again = StartMainProgram(folder);
    ASSERT_TRUE(again);
    ASSERT_TRUE(e2e::FileExists(folder.File(L"lastupdate.log")));
    const auto showContact = [&] {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(again->Window(), WM_TIMER, tessaly::frmMain::kTimerShowContact, 0, SMTO_NORMAL, kWaitMs,
                              &result);
    };
    const auto notesWindows = [&] {
        std::vector<HWND> notes;
        for (HWND window : e2e::TopWindowsOf(again->Id()))
            if (e2e::WindowCaption(window) == kNotesCaption) notes.push_back(window);
        return notes;
    };
    showContact();
    ASSERT_EQ(notesWindows().size(), 1u) << "no release notes";
    EXPECT_EQ(e2e::ControlText(::GetDlgItem(notesWindows()[0], tessaly::frmShowMsg::kTextMessageId)), L"新版本");
    EXPECT_FALSE(e2e::FileExists(folder.File(L"lastupdate.log")));
    showContact();
    EXPECT_EQ(notesWindows().size(), 1u) << "the notes were shown twice";
    again->Close();
    EXPECT_TRUE(again->WaitForExit(e2e::kExitTimeoutMs).has_value());
}

}  // namespace suitetest
