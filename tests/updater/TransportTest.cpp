// The update transport against the loopback service: the form POST with its headers and retries,
// the ranged download piece by piece (and every way a server can spoil it), the URL download and
// the download agent.
#include <gtest/gtest.h>

#include <windows.h>

#include "BoundedPoll.h"
#include "ChildProcess.h"
#include "TestWaits.h"
#include "TextConvert.h"
#include "TransportAddress.h"
#include "UniqueHandle.h"
#include "UpdateTexts.h"
#include "IniOperation.h"
#include "UpdaterTestSupport.h"
#include "modCommon.h"
#include "modHttpSend.h"

using namespace tessaly;
using namespace tessaly::updater;
using namespace updater_test;

namespace {

constexpr std::size_t kMiB = 1048576;

// Ticks of a thread timer that come while a download runs: they come only when its wait lets
// window events run.
bool g_downloading = false;
int g_ticksWhileDownloading = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_downloading) ++g_ticksWhileDownloading;
}

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_service.Running()); }
    std::wstring Dest() const { return m_folders.Root() + L"download.bin"; }
    bool Ranged(const std::string& package) {
        m_service.SetPackage(package);
        return DownloadByRanges(m_service.PackageUrl(), static_cast<std::int32_t>(package.size()), Dest(),
                                kProgressFormat, m_ui);
    }
    std::vector<std::string> Ranges() {
        std::vector<std::string> ranges;
        for (const auto& get : m_service.PackageGets()) ranges.push_back(get.Header("Range").value_or("(none)"));
        return ranges;
    }

    ComApartment m_com;
    UpdateService m_service;
    testsupport::PrivateDataFolders m_folders{L"tessaly_transport_", true};
    RecordingUi m_ui;
};

}  // namespace

TEST_F(TransportTest, PostSendsTheFormWithItsHeaders) {
    m_service.QueueAnswer(ActionJson("31"));
    const std::wstring body = L"size=6&checksum=0&zip=0&data=414243";
    EXPECT_EQ(PostForm(m_service.UpdateUrl(), body), Widen(ActionJson("31")));
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 1u);
    const RecordedRequest& post = posts[0];
    EXPECT_EQ(post.target, "/tessaly/update1");
    EXPECT_EQ(post.body, "size=6&checksum=0&zip=0&data=414243");
    EXPECT_EQ(post.Header("Accept"), "*/*");
    EXPECT_EQ(post.Header("Accept-Language"), "zh-cn");
    EXPECT_EQ(post.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0)");
    EXPECT_EQ(post.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(post.Header("Content-Length"), "35");
    EXPECT_EQ(post.Header("Cache-Control"), "no-cache");
    EXPECT_TRUE(post.Header("Referer").has_value());
    EXPECT_EQ(post.Form()["data"], "414243");
    EXPECT_EQ(post.Query(), "ABC");
}

TEST_F(TransportTest, PostTakesOtherStatusesAsNoAnswerAtOnce) {
    for (int status : {404, 500, 302}) {
        m_service.QueueAnswer(ScriptedAnswer{status, "{\"message\":1,\"code\":1,\"data\":1}"});
        const std::size_t before = m_service.Posts().size();
        EXPECT_EQ(PostForm(m_service.UpdateUrl(), L"x=1"), L"") << status;
        EXPECT_EQ(m_service.Posts().size(), before + 1) << status;
    }
}

TEST_F(TransportTest, PostTriesThreeTimesWhenNoServerAnswers) {
    // A port nobody listens on: three attempts, each given up after its wait, the pause of the
    // table between them.
    const std::wstring closed = UpdateService::UnreachableRoot() + L"/tessaly/update1";
    ScopedWaits waits([](UpdaterWaits& w) { w.postAnswerMs = 500; w.postRetryPauseMs = 400; });
    const std::uint64_t start = PollClockMs();
    EXPECT_EQ(PostForm(closed, L"x=1"), L"");
    const std::uint64_t took = PollClockMs() - start;
    EXPECT_GE(took, 800u);   // two pauses
    EXPECT_LT(took, 30000u);
}

TEST_F(TransportTest, PostWaitsForASlowAnswerButNotForASilentServer) {
    ScopedWaits waits([](UpdaterWaits& w) { w.postAnswerMs = 1500; w.postRetryPauseMs = 200; });
    m_service.QueueAnswer(ScriptedAnswer{200, ActionJson("31"), 700});
    EXPECT_EQ(PostForm(m_service.UpdateUrl(), L"x=1"), Widen(ActionJson("31")));
    // A server that takes the request and stays silent: each attempt ends after its wait.
    m_service.QueueAnswer(ScriptedAnswer{200, ActionJson("31"), UpdateService::kStallMs});
    EXPECT_EQ(PostForm(m_service.UpdateUrl(), L"x=1"), L"");
    EXPECT_EQ(m_service.Posts().size(), 4u);
}

TEST_F(TransportTest, PostFollowsAFewRedirectsWithTheSameForm) {
    const std::string answer = ActionJson("31");
    m_service.QueueAnswer(ScriptedAnswer{302, "", 0, WideToUtf8(m_service.Root()) + "/tessaly/moved"});
    m_service.QueueAnswer(answer);
    EXPECT_EQ(PostForm(m_service.UpdateUrl(), L"x=1"), Widen(answer));
    const auto posts = m_service.Posts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[1].target, "/tessaly/moved");
    EXPECT_EQ(posts[1].body, "x=1");
    // A redirect off the web, or one more than a few, ends the request at once without an answer.
    m_service.QueueAnswer(ScriptedAnswer{302, "", 0, "file:///C:/windows/win.ini"});
    EXPECT_EQ(PostForm(m_service.UpdateUrl(), L"x=1"), L"");
    EXPECT_EQ(m_service.Posts().size(), 3u);
    m_service.QueueAnswer(ScriptedAnswer{302, "", 0, WideToUtf8(m_service.UpdateUrl())});
    EXPECT_EQ(PostForm(m_service.UpdateUrl(), L"x=1"), L"");
    EXPECT_EQ(m_service.Posts().size(), 3u + 1 + kMostRedirects);
}

TEST(TransportAddress, NothingLeavesTheWebOrLowersHttpsToHttp) {
    EXPECT_TRUE(KeepsChannel(L"https://a/u", L"https://b/u"));
    EXPECT_TRUE(KeepsChannel(L"http://a/u", L"HTTPS://b/u"));
    EXPECT_TRUE(KeepsChannel(L"http://a/u", L"http://b/u"));
    EXPECT_FALSE(KeepsChannel(L"https://a/u", L"http://b/u"));
    EXPECT_FALSE(KeepsChannel(L"HTTPS://a/u", L"Http://b/u"));
    for (const wchar_t* other : {L"file:///C:/x.exe", L"ftp://a/x", L"C:\\x.exe", L"\\\\h\\s\\x.exe", L"b/u", L""})
        EXPECT_FALSE(KeepsChannel(L"http://a/u", other)) << other;
    // A package address without a scheme is taken as http, which an https request cannot hand out.
    EXPECT_EQ(PackageAddress(L"127.0.0.1:8089/p.exe", L"http://s/u"), L"http://127.0.0.1:8089/p.exe");
    EXPECT_EQ(PackageAddress(L"a/p.exe", L"https://s/u"), L"");
    EXPECT_EQ(PackageAddress(L"http://a/p.exe", L"https://s/u"), L"");
    EXPECT_EQ(PackageAddress(L"https://a/p.exe", L"https://s/u"), L"https://a/p.exe");
    EXPECT_EQ(PackageAddress(L"ftp://a/p.exe", L"http://s/u"), L"");
    EXPECT_EQ(PackageAddress(L"C:\\p.exe", L"http://s/u"), L"");
}

TEST_F(TransportTest, SmallPackageComesInOneRequest) {
    const std::string package = InertBytes(1000);
    ASSERT_TRUE(Ranged(package));
    EXPECT_EQ(ReadFileBytes(Dest()), package);
    EXPECT_EQ(Ranges(), std::vector<std::string>{"bytes=0-1000"});
    EXPECT_TRUE(m_ui.statuses.empty());  // a single request shows no progress
    const auto get = m_service.PackageGets().front();
    // The name was set with its colon; the platform sends it as it is.
    EXPECT_TRUE(get.Header("Content-Type").has_value());
}

TEST_F(TransportTest, LargePackageComesInRangesWithProgress) {
    const std::string package = InertBytes(3 * kMiB + 17);
    ASSERT_TRUE(Ranged(package));
    EXPECT_EQ(ReadFileBytes(Dest()), package);
    EXPECT_EQ(Ranges(), (std::vector<std::string>{"bytes=0-1048576", "bytes=1048576-2097152", "bytes=2097152-3145728",
                                                  "bytes=3145728-3145745"}));
    EXPECT_EQ(m_ui.statuses, (std::vector<std::wstring>{L"下载升级包进度:33%", L"下载升级包进度:67%",
                                                        L"下载升级包进度:100%", L"下载升级包进度:100%"}));
}

TEST_F(TransportTest, PackageOfExactlyOneMiBIsFetchedInRanges) {
    const std::string package = InertBytes(kMiB);
    ASSERT_TRUE(Ranged(package));
    EXPECT_EQ(ReadFileBytes(Dest()), package);
    EXPECT_EQ(Ranges(), std::vector<std::string>{"bytes=0-1048576"});
}

TEST_F(TransportTest, ServerThatIgnoresRanges) {
    // Small: the whole file in one answer is the whole package.
    m_service.SetPackageFault(PackageFault::IgnoreRanges);
    EXPECT_TRUE(Ranged(InertBytes(1000)));
    // Large: the answer lacks Content-Range, so the download fails and leaves nothing behind.
    EXPECT_FALSE(Ranged(InertBytes(kMiB + 10)));
    EXPECT_FALSE(FileExists(Dest()));
}

TEST_F(TransportTest, RangeNotSatisfiableAtOnceCountsAsComplete) {
    m_service.SetPackage("");
    EXPECT_TRUE(DownloadByRanges(m_service.PackageUrl(), 1000, Dest(), kProgressFormat, m_ui));
    EXPECT_TRUE(FileExists(Dest()));
    EXPECT_EQ(ReadFileBytes(Dest()), "");
}

TEST_F(TransportTest, FailuresLeaveNoPartialFile) {
    for (PackageFault fault : {PackageFault::Status403, PackageFault::Status404, PackageFault::Status500,
                               PackageFault::CloseMidBody, PackageFault::Stall}) {
        m_service.SetPackageFault(fault);
        EXPECT_FALSE(Ranged(InertBytes(3 * kMiB))) << static_cast<int>(fault);
        EXPECT_FALSE(FileExists(Dest())) << static_cast<int>(fault);
    }
    // A later piece that fails takes the earlier ones with it.
    m_service.SetPackageFault(PackageFault::None);
    EXPECT_FALSE(DownloadByRanges(m_service.Root() + L"/elsewhere", 2 * kMiB, Dest(), kProgressFormat, m_ui));
    EXPECT_FALSE(FileExists(Dest()));
}

TEST_F(TransportTest, RangedDownloadThatStopsGettingAnywhereFails) {
    // The same Content-Range for every piece: the second answer does not move the offset.
    m_service.SetPackageFault(PackageFault::SameRangeAgain);
    EXPECT_FALSE(Ranged(InertBytes(3 * kMiB)));
    EXPECT_EQ(m_service.PackageGets().size(), 2u);
    EXPECT_FALSE(FileExists(Dest()));
    // Pieces that keep coming, but not within the time the whole download may take.
    m_service.SetPackageFault(PackageFault::None);
    m_service.SetPieceDelayMs(400);
    ScopedWaits waits([](UpdaterWaits& w) { w.transferOverallMs = 600; });
    EXPECT_FALSE(Ranged(InertBytes(5 * kMiB)));
    EXPECT_LT(m_service.PackageGets().size(), 2u + 6u);
    EXPECT_FALSE(FileExists(Dest()));
}

TEST_F(TransportTest, AddressWithoutSchemeGetsHttp) {
    const std::string package = InertBytes(2000);
    m_service.SetPackage(package);
    const std::wstring bare = m_service.PackageUrl().substr(7);
    ASSERT_TRUE(DownloadByRanges(bare, 2000, Dest(), L"", m_ui));
    EXPECT_EQ(ReadFileBytes(Dest()), package);
}

TEST_F(TransportTest, FileThatCannotBeMadeFailsQuietly) {
    EXPECT_FALSE(DownloadByRanges(m_service.PackageUrl(), 1000, m_folders.Root() + L"no\\such\\folder\\p.exe",
                                  kProgressFormat, m_ui));
}

TEST_F(TransportTest, UrlDownloadSkipsTheCacheAndTakesWhatTheServerSends) {
    const std::string package = InertBytes(5000);
    m_service.SetPackage(package);
    ASSERT_TRUE(DownloadByUrlMoniker(m_service.PackageUrl(), Dest()));
    EXPECT_EQ(ReadFileBytes(Dest()), package);
    // A second download of the same address asks the server again.
    m_service.SetPackage(InertBytes(6000));
    ASSERT_TRUE(DownloadByUrlMoniker(m_service.PackageUrl(), Dest()));
    EXPECT_EQ(ReadFileBytes(Dest()).size(), 6000u);
    EXPECT_EQ(m_service.PackageGets().size(), 2u);
}

TEST_F(TransportTest, UrlDownloadGivesUpOnServersThatHoldItAndLetsWindowEventsRun) {
    // Silent stalls; Drip keeps sending, but slower than the whole limit allows; the redirect loop
    // stops after a few.
    ScopedWaits waits([](UpdaterWaits& w) {
        w.transferStallMs = 800;
        w.transferOverallMs = 2500;
    });
    m_service.SetPackage(InertBytes(50 * UpdateService::kDripBytes));
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, CountTick);
    for (PackageFault fault : {PackageFault::Silent, PackageFault::Drip, PackageFault::RedirectToItself}) {
        m_service.SetPackageFault(fault, true);
        const std::size_t before = m_service.PackageGets().size();
        g_ticksWhileDownloading = 0;
        g_downloading = true;
        EXPECT_FALSE(DownloadByUrlMoniker(m_service.PackageUrl(), Dest())) << static_cast<int>(fault);
        g_downloading = false;
        if (fault != PackageFault::RedirectToItself) {
            EXPECT_GT(g_ticksWhileDownloading, 0) << static_cast<int>(fault);
        }
        EXPECT_FALSE(FileExists(Dest()));
        EXPECT_LE(m_service.PackageGets().size() - before, 1u + kMostRedirects);
    }
    ::KillTimer(nullptr, timer);
}

TEST_F(TransportTest, UrlDownloadOfAnUnreachableServerFails) {
    const std::wstring closed = UpdateService::UnreachableRoot() + L"/packages/zdvupdatepkg.exe";
    EXPECT_FALSE(DownloadByUrlMoniker(closed, Dest()));
    EXPECT_FALSE(FileExists(Dest()));
}

TEST_F(TransportTest, ProgressTextRoundsHalvesToEven) {
    EXPECT_EQ(ProgressText(kProgressFormat, 524288, 1048576), L"下载升级包进度:50%");
    EXPECT_EQ(ProgressText(L"a%fb%f", 1, 8), L"a12b%f");    // 12.5 goes to 12
    EXPECT_EQ(ProgressText(L"%f", 3, 8), L"38");            // 37.5 goes to 38
    EXPECT_THROW(ProgressText(L"%f", 1, 0), std::domain_error);
}

namespace {

// A program folder with the download agent double as zdvupdateget.exe.
class AgentTest : public TransportTest {
protected:
    void SetUp() override {
        TransportTest::SetUp();
        GetConfigFilePath();  // the updater makes its per-user data folder at start
        WriteFileBytes(m_program + L"zdvupdateget.exe", ReadFileBytes(TestBinFolder() + L"updater_testagent.exe"));
    }
    bool Fetch(const std::string& package, const std::string& mode) {
        WriteFileBytes(m_folders.CommonDataFolder() + L"testagent.cfg", "mode=" + mode + "\r\n");
        m_service.SetPackage(package);
        return DownloadWithHelper(m_program, L"2021.3.1", m_service.PackageUrl(),
                                  static_cast<std::int32_t>(package.size()), L"ABCDEF", kProgressFormat, m_ui);
    }
    std::wstring Target() const { return m_folders.Root() + L"AppData\\Tessaly\\zdvupdatepkg.dwn"; }

    std::wstring m_program = m_folders.Root() + L"prog\\";
};

}  // namespace

TEST_F(AgentTest, AgentGetsTheTaskFileAndFillsItsTarget) {
    const std::string package = InertBytes(4000);
    ASSERT_TRUE(Fetch(package, "full"));
    EXPECT_EQ(ReadFileBytes(Target()), package);
    const auto log = ReadUtf8Lines(m_folders.CommonDataFolder() + L"testagent.log");
    ASSERT_EQ(log.size(), 5u);
    const std::wstring prefix = L"args|" + m_folders.Root() + L"Temp\\zdvupdate_tmp\\kwt";
    EXPECT_EQ(log[0].rfind(prefix, 0), 0u) << log[0];
    EXPECT_EQ(log[0].substr(log[0].rfind(L'|')), L"|" + m_folders.Root() + L"AppData\\Tessaly");
    EXPECT_EQ(log[1], L"task|2021.3.1");
    EXPECT_EQ(log[2], L"task|" + m_service.PackageUrl());
    EXPECT_EQ(log[3], L"task|4000");
    EXPECT_EQ(log[4], L"task|ABCDEF");
}

TEST_F(AgentTest, ProgressFollowsTheGrowingTarget) {
    // The agent writes four parts 700 ms apart; the size is looked at every second, and the end of
    // the agent ends the wait before its last part is shown.
    ASSERT_TRUE(Fetch(InertBytes(8000), "slow"));
    ASSERT_GE(m_ui.statuses.size(), 2u);
    int previous = -1;
    for (const std::wstring& status : m_ui.statuses) {
        ASSERT_EQ(status.rfind(L"下载升级包进度:", 0), 0u) << status;
        const int percent = std::stoi(status.substr(8));
        EXPECT_GE(percent, previous);
        EXPECT_LE(percent, 100);
        previous = percent;
    }
    EXPECT_GT(previous, 0);
}

TEST_F(AgentTest, AgentThatStopsShortOrWritesNothingFails) {
    EXPECT_FALSE(Fetch(InertBytes(4000), "half"));
    EXPECT_FALSE(Fetch(InertBytes(4000), "none"));
}

TEST_F(AgentTest, AgentThatStaysSilentIsEndedAfterItsLimit) {
    ScopedWaits waits([](UpdaterWaits& w) { w.transferStallMs = 1000; });
    EXPECT_FALSE(Fetch(InertBytes(4000), "stuck"));
    EXPECT_TRUE(e2e::ProcessesFromFolder(m_program).empty());
    EXPECT_EQ(ReadUtf8Lines(m_folders.CommonDataFolder() + L"testagent.log").back(), L"task|ABCDEF");
}

TEST_F(AgentTest, NoAgentNoDownload) {
    ::DeleteFileW((m_program + L"zdvupdateget.exe").c_str());
    EXPECT_FALSE(Fetch(InertBytes(4000), "full"));
    EXPECT_FALSE(FileExists(m_folders.CommonDataFolder() + L"testagent.log"));
}
