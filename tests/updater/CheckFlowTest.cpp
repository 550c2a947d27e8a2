// One update check in this process against the loopback service: every answer check with its
// status text, the settings a check writes, the download routes, the size and MD5 checks, and
// the elevated installation route (Wine's processes are elevated) with the test package.
#include <gtest/gtest.h>

#include <windows.h>

#include "BoundedPoll.h"
#include "ClsWMI.h"
#include "IniOperation.h"
#include "ScopedEnvironment.h"
#include "SupportContact.h"
#include "TextConvert.h"
#include "UpdateCheck.h"
#include "UpdateTexts.h"
#include "UpdaterTestSupport.h"
#include "modCommon.h"

using namespace tessaly;
using namespace tessaly::updater;
using namespace updater_test;

namespace {

constexpr std::size_t kMiB = 1048576;

Offer SizeOffer(const std::string& size) {
    Offer offer;
    offer.size = size;
    return offer;
}
Offer HashOffer(const std::string& hash) {
    Offer offer;
    offer.hash = hash;
    return offer;
}
Offer UrlOffer(const std::string& url) {
    Offer offer;
    offer.packageUrl = url;
    return offer;
}

class CheckFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_service.Running());
        m_folders.SetPackageDouble("hold=800\r\n");
    }
    // A package the check started may still run: its end frees the private folders for removal.
    void TearDown() override {
        PollPlan plan;
        plan.deadlineMs = 10000;
        plan.stepMs = 50;
        PollUntil([this] { return !FileExists(m_folders.CommonDataFolder() + L"zdvinstalling.run"); }, plan);
    }
    CheckEnd Run() { return UpdateCheck(m_ui, m_wmi, m_program, m_folders.ConfigFile()).Run(); }
    // A check as an updater without administrator rights makes it.
    CheckEnd RunNotElevated() {
        return UpdateCheck(m_ui, m_wmi, m_program, m_folders.ConfigFile(), [] { return false; }).Run();
    }
    // Runs a check against one answer and gives the last status text.
    std::wstring StatusFor(const std::string& answer) {
        m_service.QueueAnswer(answer);
        m_ui.statuses.clear();
        EXPECT_EQ(Run(), CheckEnd::Common);
        return m_ui.Last();
    }
    // Serves a package of that size made of the test package and queues an offer of it.
    std::string ServeOffer(std::size_t size, const Offer& offer = {}) {
        const std::string package = PackageBytes(size);
        m_service.SetPackage(package);
        m_service.QueueAnswer(OfferJson(m_service, package, offer));
        return package;
    }
    // A check that must end with this status and leave nothing to run.
    void ExpectRefused(const std::wstring& status) {
        EXPECT_EQ(Run(), CheckEnd::Common);
        EXPECT_EQ(m_ui.Last(), status);
        ExpectNothingRunOrLeft();
    }
    std::wstring PackagePath() const { return m_folders.UpdateTempFolder() + L"zdvupdatepkg.exe"; }
    void ExpectNothingRunOrLeft() {
        EXPECT_TRUE(m_folders.PackageRuns().empty());
        EXPECT_FALSE(FileExists(PackagePath()));
        EXPECT_FALSE(FileExists(m_folders.UserDataFolder() + L"zdvupdatepkg.dwn"));
        EXPECT_FALSE(FileExists(m_folders.UserDataFolder() + L"zdvupdatepkg.exe"));
    }

    ComApartment m_com;
    UpdateService m_service;
    UpdaterFolders m_folders{m_service};
    std::wstring m_program = m_folders.Root() + L"prog\\";
    ClsWMI m_wmi;
    RecordingUi m_ui;
};

}  // namespace

TEST_F(CheckFlowTest, UpToDate) {
    m_service.QueueAnswer(ActionJson("31"));
    EXPECT_EQ(Run(), CheckEnd::Common);
    const std::wstring url = m_service.UpdateUrl();
    EXPECT_EQ(m_ui.statuses, (std::vector<std::wstring>{kStatusConnecting + url, kStatusReadingAnswer, kStatusUpToDate}));
    ASSERT_EQ(m_service.Posts().size(), 1u);
    EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kLastCheckUpdate), GetDateText());
    EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kInstalledDate), GetDateText());
    // No program file carries a version: 0.0.0 goes out and no version is written.
    const std::string query = m_service.Posts()[0].Query();
    EXPECT_EQ(query.rfind("AppVer=302E302E30&ExecutionLevel=31&UUID=", 0), 0u) << query;
    EXPECT_EQ(m_folders.Setting(ini::kVersions, ini::kLocalAppVer), L"(missing)");
    EXPECT_EQ(m_folders.Setting(ini::kVersions, ini::kServerAppVer), L"(missing)");
}

TEST_F(CheckFlowTest, FirstCheckSendsFullFactsAndLaterOnesTheShortForm) {
    m_service.QueueAnswer(ActionJson("31"));
    Run();
    Run();
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_NE(posts[0].Query().find("&OfficeAddins="), std::string::npos);
    EXPECT_EQ(posts[1].Query().find("&Arch="), std::string::npos);
    EXPECT_NE(posts[1].Query().find("&OSMajorVer="), std::string::npos);
    EXPECT_EQ(posts[0].Form()["zip"], "1");
}

TEST_F(CheckFlowTest, InstalledVersionIsRecordedAndSent) {
    WriteFileBytes(m_program + L"zdvshengji.exe", ReadFileBytes(StageFolder() + L"zdvshengji.exe"));
    m_folders.Set(ini::kVersions, ini::kServerAppVer, L"1.0.0");
    m_service.QueueAnswer(ActionJson("31"));
    Run();
    EXPECT_EQ(m_folders.Setting(ini::kVersions, ini::kLocalAppVer), TESSALY_VERSION_TEXT);
    EXPECT_EQ(m_folders.Setting(ini::kVersions, ini::kServerAppVer), TESSALY_VERSION_TEXT);
    EXPECT_EQ(m_service.Posts()[0].Query().rfind(WideToUtf8(L"AppVer=" + TextToHex(TESSALY_VERSION_TEXT) + L"&"), 0), 0u);
}

TEST_F(CheckFlowTest, TwoAnswersAskingForFactsMakeTwoRequests) {
    m_folders.Set(ini::kGeneral, ini::kInstalledDate, L"01-01-2020");  // not the first check
    m_service.QueueAnswer(ActionJson("32"));
    EXPECT_EQ(Run(), CheckEnd::Common);
    EXPECT_EQ(m_ui.Last(), kStatusServerBusy);
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].Query().find("&Arch="), std::string::npos);
    EXPECT_NE(posts[1].Query().find("&Arch="), std::string::npos);
}

TEST_F(CheckFlowTest, EveryAnswerCheckHasItsStatus) {
    const std::string accepted = "\"message\":\"\",\"code\":1,";
    EXPECT_EQ(StatusFor("not json at all"), kStatusServerError + std::wstring(L"not json at all"));
    const std::string noData = "{\"message\":\"\",\"code\":1}";
    EXPECT_EQ(StatusFor(noData), kStatusServerError + Widen(noData));
    const std::string textCode = AnswerJson("\"1\"", "{\"action\":\"31\"}");
    EXPECT_EQ(StatusFor(textCode), kStatusServer00 + Widen(textCode));
    const std::string code2 = AnswerJson("2", "{\"action\":\"31\"}");
    EXPECT_EQ(StatusFor(code2), kStatusServer00 + Widen(code2));
    const std::string truncated = ActionJson("31").substr(0, 30);
    EXPECT_EQ(StatusFor(truncated), kStatusServer00 + Widen(truncated));
    const std::string numberAction = AnswerJson("1", "{\"action\":33}");
    EXPECT_EQ(StatusFor(numberAction), kStatusServer01 + Widen(numberAction));
    const std::string emptyAction = ActionJson("");
    EXPECT_EQ(StatusFor(emptyAction), kStatusServer01 + Widen(emptyAction));
    const std::string action34 = ActionJson("34");
    EXPECT_EQ(StatusFor(action34), kStatusServer02 + Widen(action34));
    // An action that is no number ends the check with no status of its own.
    EXPECT_EQ(StatusFor(ActionJson("soon")), kStatusReadingAnswer);
    // A script in the answer is text, never run.
    const std::string script = "{" + accepted + "\"data\":(function(){return {action:'31'}})()}";
    EXPECT_EQ(StatusFor(script), kStatusServer00 + Widen(script));
}

TEST_F(CheckFlowTest, RequestsThatGetNoAnswer) {
    m_service.QueueAnswer(ScriptedAnswer{404, "gone"});
    EXPECT_EQ(Run(), CheckEnd::Common);
    EXPECT_EQ(m_ui.Last(), kStatusConnectFailed + m_service.UpdateUrl());
    EXPECT_EQ(m_service.Posts().size(), 1u);
    EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kLastCheckUpdate), GetDateText());
    // No network: nothing is sent at all.
    m_folders.Set(ini::kGeneral, ini::kWebServerHost, L"https://no-such-host.invalid");
    EXPECT_EQ(Run(), CheckEnd::Common);
    EXPECT_EQ(m_ui.Last(), kStatusNoNetwork);
    EXPECT_EQ(m_service.Posts().size(), 1u);
}

TEST_F(CheckFlowTest, NewUpdateUrlOfTheAnswerIsKept) {
    const std::string next = HexOf("http://127.0.0.1:" + std::to_string(m_service.Port()) + "/next");
    m_service.QueueAnswer(AnswerJson("1", "{\"updateurl\":\"" + next + "\",\"action\":\"31\"}"));
    Run();
    EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kUpdateURL), m_service.Root() + L"/next");
    // Without an update URL the setting stays; one that decodes to nothing reads as the default.
    m_service.QueueAnswer(ActionJson("31"));
    Run();
    EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kUpdateURL), m_service.Root() + L"/next");
    m_service.QueueAnswer(AnswerJson("1", "{\"updateurl\":\"zz\",\"action\":\"31\"}"));
    Run();
    EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kUpdateURL), L"(missing)");
    EXPECT_EQ(DefaultUpdateUrl(), L"https://www.tessaly.cn/tessaly/update1");
}

TEST_F(CheckFlowTest, AnswerCannotTakeTheUpdaterOffTheWeb) {
    for (const char* url : {"file:///C:/windows/win.ini", "ftp://127.0.0.1/update1", "update.example/u"}) {
        m_service.QueueAnswer(AnswerJson("1", "{\"updateurl\":\"" + HexOf(url) + "\",\"action\":\"31\"}"));
        Run();
        EXPECT_EQ(m_folders.Setting(ini::kGeneral, ini::kUpdateURL), m_service.UpdateUrl()) << url;
    }
    // A package address of another scheme is refused before anything is fetched or asked.
    ServeOffer(300000, UrlOffer(HexOf("file:///C:/windows/notepad.exe")));
    m_ui.answers = {false};
    ExpectRefused(kStatusNoPackageUrl);
    EXPECT_TRUE(m_ui.questions.empty());
    EXPECT_TRUE(m_service.PackageGets().empty());
}

TEST_F(CheckFlowTest, WebServerHostWithAPortPassesTheNetworkProbe) {
    m_folders.Set(ini::kGeneral, ini::kWebServerHost, m_service.Root() + L"/");
    m_service.QueueAnswer(ActionJson("31"));
    Run();
    EXPECT_EQ(m_ui.Last(), kStatusUpToDate);
}

TEST_F(CheckFlowTest, MalformedOffersHaveTheirStatusAndRunNothing) {
    const std::string package = PackageBytes(200000);
    m_service.SetPackage(package);
    struct Case {
        Offer offer;
        std::wstring status;
    };
    const std::vector<Case> cases{
        {SizeOffer("2147483648"), kStatusNoCheckInfo},
        {SizeOffer("-5"), kStatusNoCheckInfo},
        {SizeOffer("0"), kStatusNoCheckInfo},
        {SizeOffer("\"200000\""), kStatusNoCheckInfo},
        {SizeOffer("1e400"), kStatusNoCheckInfo},
        {SizeOffer("200000.5"), kStatusNoCheckInfo},
        {HashOffer(""), kStatusNoHash},
        {UrlOffer(""), kStatusNoCheckInfo},
        {UrlOffer("XYZ0"), kStatusNoPackageUrl},
        {UrlOffer("00"), kStatusNoPackageUrl},
    };
    for (const Case& c : cases) {
        const std::string answer = OfferJson(m_service, package, c.offer);
        SCOPED_TRACE(answer);
        EXPECT_EQ(StatusFor(answer).substr(0, std::wcslen(c.status.c_str())), c.status);
    }
    ExpectNothingRunOrLeft();
    EXPECT_EQ(m_folders.Setting(ini::kVersions, ini::kServerAppVer), L"2021.3.1");
}

TEST_F(CheckFlowTest, OfferIsDownloadedCheckedAndRunElevated) {
    const std::string package = ServeOffer(3 * kMiB + 17);
    EXPECT_EQ(Run(), CheckEnd::EndProcess);
    EXPECT_TRUE(m_ui.Saw(kStatusCheckingOffer));
    EXPECT_TRUE(m_ui.Saw(kStatusDownloading));
    EXPECT_TRUE(m_ui.Saw(L"下载升级包进度:33%"));
    EXPECT_TRUE(m_ui.Saw(kStatusHashing));
    EXPECT_EQ(m_ui.Last(), kStatusInstalling);
    EXPECT_EQ(ReadFileBytes(PackagePath()), package);
    const auto runs = m_folders.PackageRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], PackagePath() + L"|/verysilent /installpath \"" + m_program + L"\"");
    EXPECT_EQ(m_folders.Setting(ini::kVersions, ini::kServerAppVer), L"2021.3.1");
}

TEST_F(CheckFlowTest, PackageThatNeverMarksTheInstallationTimesOut) {
    m_folders.SetPackageDouble("marker=0\r\nhold=0\r\n");
    ServeOffer(300000);
    EXPECT_EQ(Run(), CheckEnd::Common);
    EXPECT_EQ(m_ui.Last(), kStatusInstallTimeout);
    EXPECT_EQ(m_folders.PackageRuns().size(), 1u);
}

TEST_F(CheckFlowTest, DigestMismatchRunsNothing) {
    const std::string package = PackageBytes(300000);
    ServeOffer(300000, HashOffer(Md5Of(package + "x")));
    ExpectRefused(kStatusHashMismatch + Widen(Md5Of(package)) + L"\r\n" + kStatusContactPrefix + kSupportContact);
}

TEST_F(CheckFlowTest, DigestComparesIgnoringCase) {
    std::string lower = Md5Of(PackageBytes(300000));
    for (char& c : lower) c = static_cast<char>(std::tolower(c));
    ServeOffer(300000, HashOffer(lower));
    EXPECT_EQ(Run(), CheckEnd::EndProcess);
}

TEST_F(CheckFlowTest, WrongSizeRunsNothing) {
    ServeOffer(300000, SizeOffer("300001"));
    ExpectRefused(kStatusSizeMismatch);
}

TEST_F(CheckFlowTest, ErrorPageOfTheUrlDownloadIsCaughtBySize) {
    // Ranges fail with 404; the URL download then saves the error page as if it were the package.
    m_service.SetPackageFault(PackageFault::Status404, true);
    ServeOffer(300000);
    ExpectRefused(kStatusSizeMismatch);
}

TEST_F(CheckFlowTest, TruncatedBodiesAreCaughtBySize) {
    m_service.SetPackageFault(PackageFault::CloseMidBody, true);
    ServeOffer(300000);
    ExpectRefused(kStatusSizeMismatch);
}

TEST_F(CheckFlowTest, FailedDownloadsOfferTheManualDownload) {
    const std::wstring unreachable = UpdateService::UnreachableRoot() + L"/packages/zdvupdatepkg.exe";
    ServeOffer(300000, UrlOffer(HexOf(WideToUtf8(unreachable))));
    m_ui.answers = {false};
    ExpectRefused(kStatusDownloadFailed + unreachable);
    EXPECT_EQ(m_ui.questions, std::vector<std::wstring>{std::wstring(kAskManualDownloadTitle) + L"|" + kAskManualDownload});
}

TEST_F(CheckFlowTest, StalledPieceFallsBackToTheUrlDownload) {
    m_service.SetPackageFault(PackageFault::Stall);
    ServeOffer(300000);
    EXPECT_EQ(Run(), CheckEnd::EndProcess);
    EXPECT_EQ(m_folders.PackageRuns().size(), 1u);
}

TEST_F(CheckFlowTest, AgentRouteMovesItsTargetIntoPlace) {
    WriteFileBytes(m_program + L"zdvupdateget.exe", ReadFileBytes(TestBinFolder() + L"updater_testagent.exe"));
    const std::string package = ServeOffer(400000);
    EXPECT_EQ(Run(), CheckEnd::EndProcess);
    EXPECT_FALSE(FileExists(m_folders.UserDataFolder() + L"zdvupdatepkg.dwn"));
    EXPECT_EQ(ReadFileBytes(PackagePath()), package);
    EXPECT_FALSE(m_folders.AgentLog().empty());
    // Only the agent fetched the package.
    for (const auto& get : m_service.PackageGets()) EXPECT_FALSE(get.Header("Range").has_value());
}

TEST_F(CheckFlowTest, AgentThatFailsLeavesNoPartFileAndTheUrlDownloadTakesOver) {
    WriteFileBytes(m_program + L"zdvupdateget.exe", ReadFileBytes(TestBinFolder() + L"updater_testagent.exe"));
    m_folders.SetAgentDouble("mode=half\r\n");
    const std::string package = ServeOffer(400000);
    EXPECT_EQ(Run(), CheckEnd::EndProcess);
    EXPECT_FALSE(FileExists(m_folders.UserDataFolder() + L"zdvupdatepkg.dwn"));
    EXPECT_EQ(ReadFileBytes(PackagePath()), package);
}

TEST_F(CheckFlowTest, ProgramFolderOutsideAsciiUsesRangesEvenWithTheAgent) {
    m_program = m_folders.Root() + L"程序\\";
    WriteFileBytes(m_program + L"zdvupdateget.exe", ReadFileBytes(TestBinFolder() + L"updater_testagent.exe"));
    ServeOffer(400000);
    EXPECT_EQ(Run(), CheckEnd::EndProcess);
    EXPECT_TRUE(m_folders.AgentLog().empty());
    ASSERT_FALSE(m_service.PackageGets().empty());
    EXPECT_EQ(m_service.PackageGets()[0].Header("Range"), "bytes=0-400000");
}

TEST_F(CheckFlowTest, DownloadEmptiesTheUpdateTemporaryFolderFirst) {
    WriteFileBytes(m_folders.UpdateTempFolder() + L"old.txt", "left over");
    WriteFileBytes(m_folders.UpdateTempFolder() + L"zdvupdatepkg.exe", "old package");
    const std::string package = ServeOffer(300000);
    EXPECT_EQ(Run(), CheckEnd::EndProcess);
    EXPECT_FALSE(FileExists(m_folders.UpdateTempFolder() + L"old.txt"));
    EXPECT_EQ(ReadFileBytes(PackagePath()), package);
}

TEST_F(CheckFlowTest, TempFolderThatDoesNotExistFailsTheDownloadPlainly) {
    testsupport::ScopedEnvironmentVariable temp(L"TEMP", m_folders.Root() + L"missing\\deeper");
    ServeOffer(300000);
    ExpectRefused(kStatusDownloadFailed + m_service.PackageUrl());
    EXPECT_EQ(m_ui.questions.size(), 1u);
}

TEST_F(CheckFlowTest, NotElevatedFreshInstallationAsksFirst) {
    Offer offer;
    offer.reinstall = "1";
    ServeOffer(300000, offer);
    m_ui.answers = {false};
    EXPECT_EQ(RunNotElevated(), CheckEnd::Common);
    EXPECT_EQ(m_ui.Last(), kStatusInstalling);
    EXPECT_EQ(m_ui.questions, std::vector<std::wstring>{std::wstring(kAskReinstallTitle) + L"|" + kAskReinstall});
    EXPECT_TRUE(m_folders.PackageRuns().empty());
    EXPECT_EQ(m_service.Posts()[0].Query().rfind("AppVer=302E302E30&ExecutionLevel=30&", 0), 0u);
}

TEST_F(CheckFlowTest, NotElevatedCachesThePackageAndStartsTheCopy) {
    // The test package stands in for the updater, so the copy's start shows in its log, and it
    // makes the installing marker as the copy would.
    WriteFileBytes(m_program + L"zdvshengji.exe", ReadFileBytes(TestBinFolder() + L"updater_testpackage.exe"));
    const std::string package = ServeOffer(300000);
    EXPECT_EQ(RunNotElevated(), CheckEnd::EndProcess);
    EXPECT_EQ(ReadFileBytes(m_folders.UserDataFolder() + L"zdvupdatepkg.exe"), package);
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kCacheDate), GetDateText());
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kPackageSize), L"300000");
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kPackageHash), Widen(Md5Of(package)));
    const auto runs = m_folders.PackageRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], m_folders.UpdateTempFolder() + L"zdvshengji.exe|/upgrading /installpath \"" + m_program + L"\"");
}

TEST_F(CheckFlowTest, NotElevatedWithoutTheUpdaterToCopy) {
    ServeOffer(300000);
    EXPECT_EQ(RunNotElevated(), CheckEnd::Common);
    EXPECT_EQ(m_ui.Last(), kStatusCopyStartFailed);
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kPackageSize), L"300000");
}

TEST_F(CheckFlowTest, NotElevatedWhenTheCacheCannotBeWritten) {
    ::CreateDirectoryW((m_folders.UserDataFolder() + L"zdvupdatepkg.exe").c_str(), nullptr);
    ServeOffer(300000);
    EXPECT_EQ(RunNotElevated(), CheckEnd::Common);
    EXPECT_EQ(m_ui.Last(), kStatusCacheCopyFailed);
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kPackageSize), L"(missing)");
}
