// zdvshengji.exe as a user meets it: its switches, its window with status and exit button, the
// once-a-day gate, one instance at a time, and whole update checks against the loopback service.
#include <gtest/gtest.h>

#include <windows.h>

#include "BoxWatcher.h"
#include "IniOperation.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "UpdateTexts.h"
#include "UpdaterProgram.h"
#include "modCommon.h"

using namespace tessaly;
using namespace tessaly::updater;
using namespace updater_test;

namespace {

constexpr std::size_t kMiB = 1048576;

}  // namespace

TEST_F(UpdaterProgramTest, ManualCheckWithoutWindowReportsAndEnds) {
    m_service.QueueAnswer(ActionJson("31"));
    Today();  // "/manual" checks anyway
    auto updater = Start(L"/manual");
    ASSERT_TRUE(Ended(*updater));
    ASSERT_EQ(m_service.Posts().size(), 1u);
    EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kLastCheckUpdate), GetDateText());
    // The shipped program carries the suite's version.
    EXPECT_EQ(m_folders.Setting(ini::kVersions, ini::kLocalAppVer), TESSALY_VERSION_TEXT);
    EXPECT_EQ(m_service.Posts()[0].Query().rfind(WideToUtf8(L"AppVer=" + TextToHex(TESSALY_VERSION_TEXT) + L"&ExecutionLevel=31&"), 0), 0u);
    EXPECT_FALSE(MarkerPresent(L"zdvshengji"));
}

TEST_F(UpdaterProgramTest, WindowShowsTheResultAndItsExitButtonEndsTheProgram) {
    m_service.QueueAnswer(ActionJson("31"));
    auto updater = Start(L"/UI /MANUAL");
    HWND window = WaitForWindow(*updater);
    ASSERT_TRUE(window);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::HasVisibleStyle(window); }, 5000));
    ASSERT_TRUE(WaitForStatus(window, kStatusUpToDate));
    HWND exit = ExitButton(window);
    EXPECT_EQ(e2e::ControlText(exit), kExitCaption);
    ASSERT_TRUE(e2e::WaitUntil([&] { return ::IsWindowEnabled(exit) != FALSE; }, 5000));
    EXPECT_TRUE(MarkerPresent(L"zdvshengji"));
    e2e::PostButtonClick(exit);
    ASSERT_TRUE(Ended(*updater, 10000));
    EXPECT_FALSE(MarkerPresent(L"zdvshengji"));
}

TEST_F(UpdaterProgramTest, TwoAnswersAskingForFactsMakeTwoRequests) {
    m_folders.Set(ini::kGeneral, ini::kInstalledDate, L"01-01-2020");
    m_service.QueueAnswer(ActionJson("32"));
    auto updater = Start(L"/ui /manual");
    HWND window = WaitForWindow(*updater);
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitForStatus(window, kStatusServerBusy));
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].Query().find("&CPU="), std::string::npos);
    EXPECT_NE(posts[1].Query().find("&CPU="), std::string::npos);
    e2e::PostClose(window);
    ASSERT_TRUE(Ended(*updater, 10000));
}

TEST_F(UpdaterProgramTest, GateWithoutManualSendsNothing) {
    Today();
    auto quiet = Start(L"");
    ASSERT_TRUE(Ended(*quiet));
    auto shown = Start(L"/ui");
    HWND window = WaitForWindow(*shown);
    ASSERT_TRUE(window);
    ASSERT_TRUE(e2e::WaitUntil([&] { return ::IsWindowEnabled(ExitButton(window)) != FALSE; }, 10000));
    EXPECT_EQ(StatusText(window), L"");
    EXPECT_TRUE(m_service.Posts().empty());
    e2e::PostButtonClick(ExitButton(window));
    ASSERT_TRUE(Ended(*shown, 10000));
    // A new day: the gate opens.
    m_folders.Set(ini::kGeneral, ini::kLastCheckUpdate, L"01-01-2020");
    m_service.QueueAnswer(ActionJson("31"));
    auto due = Start(L"");
    ASSERT_TRUE(Ended(*due));
    EXPECT_EQ(m_service.Posts().size(), 1u);
}

TEST_F(UpdaterProgramTest, SecondInstanceEndsWithoutATrace) {
    Today();
    auto first = Start(L"/ui");
    ASSERT_TRUE(WaitForWindow(*first));
    m_service.QueueAnswer(ActionJson("31"));
    auto second = Start(L"/ui /manual");
    ASSERT_TRUE(Ended(*second, 20000));
    EXPECT_TRUE(m_service.Posts().empty());
    EXPECT_TRUE(e2e::TopWindowsOf(second->Id()).empty());
    EXPECT_TRUE(first->Running());
}

TEST_F(UpdaterProgramTest, WindowClosesItselfWhenAnInstallationStarts) {
    Today();
    auto updater = Start(L"/ui");
    ASSERT_TRUE(WaitForWindow(*updater));
    // Another process holds the installing marker.
    WriteFileBytes(m_folders.CommonDataFolder() + L"zdvinstalling.run", "1");
    ASSERT_TRUE(Ended(*updater, 10000));
}

TEST_F(UpdaterProgramTest, SmallOfferIsFetchedInOneRangeAndRunElevated) {
    // 1,000 bytes are no program: the start fails and no installation begins, which the test build
    // reports after its short wait.
    Stage(Build::kQuickWaits);
    const std::string package = InertBytes(1000);
    m_service.SetPackage(package);
    m_service.QueueAnswer(OfferJson(m_service, package));
    auto updater = Start(L"/ui /manual");
    HWND window = WaitForWindow(*updater);
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitForStatus(window, kStatusInstallTimeout));
    ASSERT_EQ(m_service.PackageGets().size(), 1u);
    EXPECT_EQ(m_service.PackageGets()[0].Header("Range"), "bytes=0-1000");
    EXPECT_EQ(ReadFileBytes(m_folders.UpdateTempFolder() + L"zdvupdatepkg.exe"), package);
}

TEST_F(UpdaterProgramTest, LargeOfferComesInRangesShowsProgressAndHandsOver) {
    const std::string package = PackageBytes(3 * kMiB + 17);
    m_service.SetPackage(package);
    m_service.SetPieceDelayMs(300);
    m_service.QueueAnswer(OfferJson(m_service, package));
    auto updater = Start(L"/ui /manual");
    HWND window = WaitForWindow(*updater);
    ASSERT_TRUE(window);
    std::vector<std::wstring> seen;
    WaitForStatus(window, kStatusInstalling, &seen);
    // Once the package holds the installing marker, the updater ends by itself.
    ASSERT_TRUE(Ended(*updater));
    auto has = [&seen](const std::wstring& text) { return std::find(seen.begin(), seen.end(), text) != seen.end(); };
    EXPECT_TRUE(has(kStatusDownloading));
    EXPECT_TRUE(has(L"下载升级包进度:33%"));
    EXPECT_TRUE(has(L"下载升级包进度:67%"));
    std::vector<std::string> ranges;
    for (const auto& get : m_service.PackageGets()) ranges.push_back(get.Header("Range").value_or("(none)"));
    EXPECT_EQ(ranges, (std::vector<std::string>{"bytes=0-1048576", "bytes=1048576-2097152", "bytes=2097152-3145728",
                                                "bytes=3145728-3145745"}));
    EXPECT_EQ(ReadFileBytes(m_folders.UpdateTempFolder() + L"zdvupdatepkg.exe"), package);
    const auto runs = m_folders.PackageRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], m_folders.UpdateTempFolder() + L"zdvupdatepkg.exe|/verysilent /installpath \"" + m_program + L"\"");
    EXPECT_TRUE(FileExists(m_program + L"installed.txt"));
}

TEST_F(UpdaterProgramTest, ServerIgnoringRangesStillDeliversThePackage) {
    // The whole file comes back for the first range without Content-Range: the ranged download
    // fails and the URL download fetches the package instead.
    const std::string package = PackageBytes(kMiB + 4096);
    m_service.SetPackage(package);
    m_service.SetPackageFault(PackageFault::IgnoreRanges);
    m_service.QueueAnswer(OfferJson(m_service, package));
    auto updater = Start(L"/manual");
    ASSERT_TRUE(Ended(*updater));
    const auto gets = m_service.PackageGets();
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_EQ(gets[0].Header("Range"), "bytes=0-1048576");
    EXPECT_FALSE(gets[1].Header("Range").has_value());
    EXPECT_EQ(ReadFileBytes(m_folders.UpdateTempFolder() + L"zdvupdatepkg.exe"), package);
    EXPECT_EQ(m_folders.PackageRuns().size(), 1u);
}

TEST_F(UpdaterProgramTest, DigestMismatchRunsNothing) {
    const std::string package = PackageBytes(300000);
    m_service.SetPackage(package);
    Offer offer;
    offer.hash = Md5Of("another file");
    m_service.QueueAnswer(OfferJson(m_service, package, offer));
    auto updater = Start(L"/ui /manual");
    HWND window = WaitForWindow(*updater);
    ASSERT_TRUE(window);
    ASSERT_TRUE(e2e::WaitUntil([&] { return StatusText(window).rfind(kStatusHashMismatch, 0) == 0; }, kProgramTimeoutMs));
    EXPECT_NE(StatusText(window).find(L"请联系我们QQ:"), std::wstring::npos);
    EXPECT_TRUE(m_folders.PackageRuns().empty());
    EXPECT_FALSE(FileExists(m_folders.UpdateTempFolder() + L"zdvupdatepkg.exe"));
    e2e::PostButtonClick(ExitButton(window));
    ASSERT_TRUE(Ended(*updater, 10000));
}

TEST_F(UpdaterProgramTest, FailedDownloadAsksAboutTheManualDownload) {
    const std::string package = PackageBytes(300000);
    Offer offer;
    offer.packageUrl = HexOf(WideToUtf8(UpdateService::UnreachableRoot() + L"/p.exe"));
    m_service.QueueAnswer(OfferJson(m_service, package, offer));
    auto updater = Start(L"/manual");
    e2e::BoxWatcher boxes(updater->Id());
    boxes.Answer(kAskManualDownloadTitle, {IDNO});
    ASSERT_TRUE(boxes.WaitForBoxes(kAskManualDownloadTitle, 1, kProgramTimeoutMs));
    ASSERT_TRUE(Ended(*updater));
    const auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, kAskManualDownload);
}

TEST_F(UpdaterProgramTest, RangeAnsweredWithAnErrorThenSilenceEndsInTheManualDownloadQuestion) {
    // The ranged download fails on the 500; the URL download then meets a service that says
    // nothing and gives up after its limit.
    Stage(Build::kQuickWaits);
    const std::string package = PackageBytes(300000);
    m_service.SetPackage(package);
    m_service.SetPackageFault(PackageFault::Status500);
    m_service.SetUnrangedFault(PackageFault::Silent);
    m_service.QueueAnswer(OfferJson(m_service, package));
    auto updater = Start(L"/ui /manual");
    e2e::BoxWatcher boxes(updater->Id());
    boxes.Answer(kAskManualDownloadTitle, {IDNO});
    HWND window = WaitForWindow(*updater);
    ASSERT_TRUE(window);
    ASSERT_TRUE(boxes.WaitForBoxes(kAskManualDownloadTitle, 1, kProgramTimeoutMs));
    ASSERT_TRUE(e2e::WaitUntil([&] { return ::IsWindowEnabled(ExitButton(window)) != FALSE; }, 10000));
    EXPECT_EQ(StatusText(window), kStatusDownloadFailed + m_service.PackageUrl());
    EXPECT_TRUE(m_folders.PackageRuns().empty());
    e2e::PostButtonClick(ExitButton(window));
    ASSERT_TRUE(Ended(*updater, 10000));
}

TEST_F(UpdaterProgramTest, WindowAppearsThoughItsStarterAskedForAHiddenOne) {
    // The tray starts "/ui /manual" with the hidden style.
    m_service.QueueAnswer(ActionJson("31"));
    Stage();
    ASSERT_TRUE(ShellRun(m_program + L"zdvshengji.exe", L"/ui /manual", kWindowHidden));
    HWND window = nullptr;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            for (DWORD id : e2e::ProcessesFromFolder(m_program))
                if ((window = e2e::FindTopWindow(id, kFormCaption)) != nullptr) return true;
            return false;
        },
        kProgramTimeoutMs));
    ASSERT_TRUE(WaitForStatus(window, kStatusUpToDate));
    EXPECT_TRUE(e2e::HasVisibleStyle(window));
}

TEST_F(UpdaterProgramTest, ProgramFolderOutsideAsciiChecksAsUsual) {
    Stage(Build::kShipped, L"程序");
    m_service.QueueAnswer(ActionJson("31"));
    auto updater = Start(L"/manual");
    ASSERT_TRUE(Ended(*updater));
    EXPECT_EQ(m_service.Posts().size(), 1u);
}

TEST_F(UpdaterProgramTest, SettingsFileThatCannotBeWrittenDoesNotStopTheCheck) {
    m_folders.Set(ini::kGeneral, ini::kLastCheckUpdate, L"01-01-2020");
    m_service.QueueAnswer(ActionJson("31"));
    {
        // Held open for reading only, the file can be read but not written.
        unique_file held(::CreateFileW(m_folders.ConfigFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        auto updater = Start(L"");
        ASSERT_TRUE(Ended(*updater));
    }
    EXPECT_EQ(m_service.Posts().size(), 1u);
    EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kLastCheckUpdate), L"01-01-2020");
}
