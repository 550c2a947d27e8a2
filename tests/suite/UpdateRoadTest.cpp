// The update road, whole, with the real installer package of the raised version: the loopback
// update service offers it, the real updater downloads and checks it, and the package installs it
// over the staged installation while every program runs. On the elevated route the main program's
// own check runs the package; on the desktop user's route the tray program's updater caches it and
// hands it to its temporary copy, and the tray program, the main program, the guard and the
// engine step aside. Afterwards every program carries the new version, the tray
// program runs again with its icon and its updater reports the new version, the next main program
// shows the release notes once, and no marker, temporary file or cached package is left.
#include <gtest/gtest.h>

#include <iostream>
#include <optional>

#include "GuardForm.h"
#include "IniOperation.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "SuiteTest.h"
#include "TextFiles.h"
#include "UpdaterTestSupport.h"
#include "frmMain.h"
#include "frmTrayLayout.h"
#include "ChildProcess.h"
#include "DesktopUser.h"
#include "modCommon.h"

namespace suitetest {
namespace {

// How long the programs may take to step aside once their watches have looked: the tray program
// and the engine look every second; destroying a shown window takes up to 2 s more here, since
// without a window manager on the X display Wine waits that long for it to be withdrawn.
constexpr DWORD kStepAsideMs = 20000;
// The copy waits at most 60 polls of a second for the others, then the package runs.
constexpr DWORD kInstallMs = 90000;

// When each program was first seen gone, in milliseconds after the installing marker appeared.
struct StepAside {
    std::optional<ULONGLONG> icon, tray, mainWindow, guard, engine, updater;
    [[nodiscard]] bool All() const { return icon && tray && mainWindow && guard && engine && updater; }
};

std::wstring Describe(const std::optional<ULONGLONG>& ms) { return ms ? std::to_wstring(*ms) + L" ms" : L"never"; }

// The offer of the update package, as the update service makes it.
std::string OfferOf(const updater_test::UpdateService& service, const std::string& package) {
    updater_test::Offer offer;
    offer.version = Ascii(kRaisedVersion);
    return updater_test::OfferJson(service, package, offer);
}

class UpdateRoadTest : public SuiteTest {
protected:
    // The main program's 10-s watch and the guard's 15-s watch look at once, as their timers
    // would; the tray program and the engine look every second by themselves.
    void LookForTheInstallingMarker() const {
        ::PostMessageW(m_main->Window(), WM_TIMER, tessaly::frmMain::kTimerCheckUpgrading, 0);
        const DWORD guard = ProcessOf(*m_folder, kGuardProgram);
        if (HWND window = e2e::FindTopWindow(guard, tessaly::guard::kGuardCaption))
            ::PostMessageW(window, WM_TIMER, tessaly::guard::frmMain::kTimerCheckUpgrading, 0);
    }
    // The main program (its own check done: up to date), the tray program started at log-on, the
    // guard it starts and the engine, all running from the staged folder; the next check finds
    // the raised package on offer.
    void StartTheSuite() {
        m_package = PackageFileBytes(RaisedPackage());
        m_service.SetPackage(m_package);
        m_folder = &StageSuite();
        ASSERT_TRUE(m_folder->Ready());
        ASSERT_EQ(ProgramVersions(m_folder->Folder()), std::vector<std::wstring>(5, kBuiltVersion));
        m_service.QueueAnswer(updater_test::ActionJson("31"));
        m_main = StartMainProgram(*m_folder);
        ASSERT_TRUE(m_main);
        m_service.QueueAnswer(OfferOf(m_service, m_package));
        m_tray = LogOn();
        ASSERT_TRUE(m_tray->Ready()) << "no tray program with its icon and marker";
        m_tray->Tick(tessaly::tray::kTimerStartGuard);
        ASSERT_TRUE(e2e::WaitUntil([&] { return MarkerPresent(L"zdvguard"); }, kWaitMs)) << "no guard";
        ASSERT_TRUE(MarkerPresent(L"zdvcore")) << "no engine";
        EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));
    }

    // The installation began and has ended: its marker came and went, and no temporary copy runs.
    void WaitForTheInstallation() {
        ASSERT_TRUE(e2e::WaitUntil(
            [&] { return !MarkerPresent(L"zdvinstalling") && e2e::ProcessesFromFolder(UpdateTempFolder()).empty(); },
            kInstallMs, 100))
            << "the installation did not finish";
        EXPECT_TRUE(m_main->WaitForExit(e2e::kExitTimeoutMs).has_value()) << "the main program did not step aside";
        EXPECT_TRUE(m_main->Boxes().Seen().empty()) << "the main program asked before it stepped aside";
    }

    void ExpectTheNewVersionRuns() {
        EXPECT_EQ(ProgramVersions(m_folder->Folder()), std::vector<std::wstring>(5, kRaisedVersion));
        EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));
        const std::wstring cached = UserDataFolder() + L"zdvupdatepkg.exe";
        EXPECT_FALSE(e2e::FileExists(cached));
        EXPECT_EQ(tessaly::ReadIniString(ConfigFile(), tessaly::ini::kUpdate, tessaly::ini::kPackageSize, L"0"), L"0");
        EXPECT_EQ(tessaly::ReadIniString(ConfigFile(), tessaly::ini::kUpdate, tessaly::ini::kCacheDate, L""), L"");

        // What the installation ended comes back: the tray program with its icon, and through it
        // the update check, which reports the new version and leaves no temporary file.
        auto tray = TrayOf(m_folder->Folder());
        ASSERT_TRUE(tray->Ready()) << "the tray program did not come back with its icon";
        const std::size_t checks = m_service.Posts().size();
        m_service.QueueAnswer(updater_test::ActionJson("31"));
        tray->Tick(tessaly::tray::kTimerRunOnceUpdateApp);
        ASSERT_TRUE(WaitForUpdateChecks(*m_folder, checks + 1)) << "the tray program's updater did not report";
        EXPECT_TRUE(SentVersion(m_service.Posts().back(), kRaisedVersion));
        EXPECT_TRUE(FolderFiles(UpdateTempFolder()).empty()) << ::testing::PrintToString(FolderFiles(UpdateTempFolder()));

        const std::wstring notes = ExpectNotesShownOnce(*m_folder);
        EXPECT_NE(notes.find(TESSALY_RAISED_PACKAGE_VERSION), std::wstring::npos) << ::testing::PrintToString(notes);
    }

    std::string m_package;
    e2e::StagedProgramFolder* m_folder = nullptr;
    std::unique_ptr<e2e::DrosselRun> m_main;
    std::unique_ptr<traytest::RunningTray> m_tray;
};

}  // namespace

TEST_F(UpdateRoadTest, TheElevatedMainProgramsCheckRunsThePackageItself) {
    ASSERT_NO_FATAL_FAILURE(StartTheSuite());
    // An updater started as the main program starts it, with full rights.
    const e2e::ChildProcess updater(m_folder->File(kUpdaterProgram), L"/manual", m_folder->Folder());
    ASSERT_TRUE(e2e::WaitUntil([&] { return MarkerPresent(L"zdvinstalling"); }, kWaitMs, 20))
        << "no installation began";
    LookForTheInstallingMarker();
    ASSERT_NO_FATAL_FAILURE(WaitForTheInstallation());
    EXPECT_FALSE(m_tray->Running());
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_TRUE(SentElevated(posts[1]));
    EXPECT_FALSE(m_service.PackageGets().empty());
    ExpectTheNewVersionRuns();
}

TEST_F(UpdateRoadTest, TheDesktopUsersCheckHandsThePackageToTheCopyWhileEveryProgramStepsAside) {
    ASSERT_NO_FATAL_FAILURE(StartTheSuite());
    const HWND trayForm = m_tray->Form();
    const HWND mainWindow = m_main->Window();
    // The tray program's updater (40 s) finds the offer.
    m_tray->Tick(tessaly::tray::kTimerRunOnceUpdateApp);
    ASSERT_TRUE(e2e::WaitUntil([&] { return MarkerPresent(L"zdvinstalling"); }, kWaitMs, 20))
        << "no installation began";
    const ULONGLONG began = ::GetTickCount64();
    LookForTheInstallingMarker();

    StepAside gone;
    const auto note = [&](std::optional<ULONGLONG>& when, bool isGone) {
        if (!when && isGone) when = ::GetTickCount64() - began;
    };
    e2e::WaitUntil(
        [&] {
            note(gone.icon, !traytest::ShellKnowsIcon(trayForm));
            note(gone.tray, !m_tray->Running());
            note(gone.mainWindow, !::IsWindow(mainWindow));
            note(gone.guard, ProcessOf(*m_folder, kGuardProgram) == 0);
            note(gone.engine, ProcessOf(*m_folder, kEngineProgram) == 0);
            note(gone.updater, ProcessOf(*m_folder, kUpdaterProgram) == 0);
            return gone.All();
        },
        kStepAsideMs, 20);
    std::wcout << L"stepped aside after: icon " << Describe(gone.icon) << L", tray " << Describe(gone.tray)
               << L", main window " << Describe(gone.mainWindow) << L", guard " << Describe(gone.guard) << L", engine "
               << Describe(gone.engine) << L", updater " << Describe(gone.updater) << std::endl;
    EXPECT_TRUE(gone.icon) << "the tray icon stayed";
    EXPECT_TRUE(gone.tray) << "the tray program stayed";
    EXPECT_TRUE(gone.mainWindow) << "the main window stayed";
    EXPECT_TRUE(gone.guard) << "the guard stayed";
    EXPECT_TRUE(gone.engine) << "the engine stayed";
    // The updater that handed over ends once the copy holds the marker.
    EXPECT_TRUE(gone.updater) << "the updater that handed over stayed";

    ASSERT_NO_FATAL_FAILURE(WaitForTheInstallation());
    // The tray program's updater ran as the desktop user, so the package went the way of the cache
    // and the temporary copy.
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_TRUE(SentNotElevated(posts[1]));
    EXPECT_FALSE(m_service.PackageGets().empty());
    ExpectTheNewVersionRuns();
}

// A copy that gives up while a program stays (here the engine's marker, held on) leaves the cache
// for another try and still brings back the tray program it made step aside. The updater of the
// folder is the test build whose waits are short.
TEST_F(SuiteTest, ACopyThatGivesUpBringsTheTrayProgramBack) {
    const e2e::StagedProgramFolder& folder = StageSuite();
    ASSERT_TRUE(folder.Ready());
    ASSERT_TRUE(::CopyFileW((e2e::TestProgramFolder() + L"zdvshengji_quick.exe").c_str(),
                            folder.File(kUpdaterProgram).c_str(), FALSE));
    const std::string package = PackageFileBytes(RaisedPackage());
    const std::wstring cached = UserDataFolder() + L"zdvupdatepkg.exe";
    e2e::WriteBytes(cached, package);
    tessaly::WriteIniString(ConfigFile(), tessaly::ini::kUpdate, tessaly::ini::kCacheDate, tessaly::GetDateText());
    tessaly::WriteIniString(ConfigFile(), tessaly::ini::kUpdate, tessaly::ini::kPackageSize,
                            std::to_wstring(package.size()));
    tessaly::WriteIniString(ConfigFile(), tessaly::ini::kUpdate, tessaly::ini::kPackageHash,
                            updater_test::Widen(updater_test::Md5Of(package)));
    const traytest::MarkerHolder engine(L"zdvcore");
    ASSERT_TRUE(engine.Ready());
    traytest::RunningTray tray(StartAsDesktopUser(L"\"" + folder.File(kTrayProgram) + L"\""));
    ASSERT_TRUE(tray.Ready());

    // The tray program's updater hands the cache to its copy, which holds the installing marker.
    tray.Tick(tessaly::tray::kTimerRunOnceUpdateApp);
    ASSERT_TRUE(tray.WaitForExit(kWaitMs).has_value()) << "the tray program did not step aside";
    const auto back = TrayOf(folder.Folder());
    EXPECT_TRUE(back->Ready()) << "the tray program did not come back";
    EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));
    EXPECT_EQ(ProgramVersions(folder.Folder()), std::vector<std::wstring>(5, kBuiltVersion));
    EXPECT_EQ(e2e::ReadBytes(cached), package) << "the cache did not stay for another try";
}

}  // namespace suitetest
