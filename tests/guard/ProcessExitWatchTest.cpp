// The guard's process-exit watch: what the polling sees in a list of processes that changes
// between looks, and the whole watch against real processes of this machine (under Wine the WMI
// subscription is refused, so the watch must fall back to polling and say so in the error log).
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "GuardTestSupport.h"
#include "OfficeExitWatch.h"
#include "OfficeProcessNames.h"
#include "PrivateDataFolders.h"
#include "TextConvert.h"

namespace tessaly::guard {
namespace {

class ProcessExitPollTest : public ::testing::Test {
protected:
    ProcessExitPoll poll{[this]() -> std::optional<std::vector<RunningProcess>> {
                             ++listings;
                             if (failListing) return std::nullopt;
                             return processes;
                         },
                         [this] { return stamp; }, IsOfficeProcessName};
    std::vector<RunningProcess> processes;
    // Without a stamp every look reads the whole list.
    std::optional<std::uint64_t> stamp;
    int listings = 0;
    bool failListing = false;
    std::vector<std::wstring> ended;
    void StartPoll() {
        poll.Start([this](const std::wstring& name) { ended.push_back(name); });
    }
};

TEST_F(ProcessExitPollTest, RaisesOncePerEndedOfficeProgramWithItsListedName) {
    processes = {{10, L"WINWORD.EXE"}, {11, L"notepad.exe"}, {12, L"excel.exe"}};
    StartPoll();
    poll.Look();
    EXPECT_TRUE(ended.empty()) << "nothing ended yet";
    processes = {{11, L"notepad.exe"}, {12, L"excel.exe"}};
    poll.Look();
    EXPECT_EQ(ended, std::vector<std::wstring>{L"WINWORD.EXE"});
    poll.Look();
    EXPECT_EQ(ended.size(), 1u) << "an ended program is reported once";
    processes = {{12, L"excel.exe"}};
    poll.Look();
    EXPECT_EQ(ended.size(), 1u) << "other programs are not office programs";
    processes = {};
    poll.Look();
    EXPECT_EQ(ended, (std::vector<std::wstring>{L"WINWORD.EXE", L"excel.exe"}));
}

TEST_F(ProcessExitPollTest, FollowsProgramsStartedLaterAndTellsInstancesApart) {
    StartPoll();
    processes = {{20, L"wps.exe"}};
    poll.Look();
    EXPECT_TRUE(ended.empty()) << "a start is no end";
    // One wps.exe ends while another starts within the same second.
    processes = {{21, L"wps.exe"}};
    poll.Look();
    EXPECT_EQ(ended, std::vector<std::wstring>{L"wps.exe"});
    processes = {{21, L"wps.exe"}, {22, L"et.exe"}};
    poll.Look();
    processes = {{21, L"wps.exe"}};
    poll.Look();
    EXPECT_EQ(ended, (std::vector<std::wstring>{L"wps.exe", L"et.exe"}));
}

TEST_F(ProcessExitPollTest, AFailedListingEndsNothingAndForgetsNothing) {
    processes = {{30, L"winword.exe"}};
    StartPoll();
    failListing = true;
    poll.Look();
    poll.Look();
    EXPECT_TRUE(ended.empty());
    failListing = false;
    processes = {};
    poll.Look();
    EXPECT_EQ(ended, std::vector<std::wstring>{L"winword.exe"});
}

TEST_F(ProcessExitPollTest, StoppedPollRaisesNothing) {
    processes = {{40, L"excel.exe"}};
    StartPoll();
    poll.Stop();
    processes = {};
    poll.Look();
    EXPECT_TRUE(ended.empty());
    EXPECT_FALSE(poll.Running());
}

TEST_F(ProcessExitPollTest, AHandlerThatLooksAgainSeesEachEndOnce) {
    processes = {{50, L"winword.exe"}, {51, L"excel.exe"}};
    poll.Start([this](const std::wstring& name) {
        ended.push_back(name);
        poll.Look();  // the guard's scan lets window events, and with them the poll timer, run
    });
    processes = {};
    poll.Look();
    EXPECT_EQ(ended.size(), 2u);
}

TEST(ProcessListStampNow, ChangesWhenAProcessStartsAndEnds) {
    testsupport::PrivateDataFolders data(L"tessaly_guard_");
    const auto before = ProcessListStampNow();
    if (!before) GTEST_SKIP() << "the platform gives no size of its process list";
    std::optional<std::uint64_t> running;
    {
        test::OfficeProgram excel(data.Root() + L"office\\excel.exe");
        ASSERT_TRUE(excel.Running());
        running = ProcessListStampNow();
        EXPECT_NE(running, before);
        ASSERT_TRUE(excel.End());
    }
    EXPECT_NE(ProcessListStampNow(), running);
}

TEST(ListRunningProcesses, ListsThisProgramByItsIdAndFileName) {
    const auto processes = ListRunningProcesses();
    ASSERT_TRUE(processes.has_value());
    const auto self = std::find_if(processes->begin(), processes->end(),
                                   [](const RunningProcess& p) { return p.id == ::GetCurrentProcessId(); });
    ASSERT_NE(self, processes->end());
    EXPECT_EQ(ToLowerText(self->name), L"guard_tests.exe");
}

TEST_F(ProcessExitPollTest, AnUnchangedListIsNotReadAgainButAtLeastEveryTenthLook) {
    stamp = 100;
    processes = {{60, L"winword.exe"}};
    StartPoll();
    const int afterStart = listings;
    poll.Look();
    EXPECT_EQ(listings, afterStart) << "nothing changed: no listing";
    stamp = 101;  // Word ends and the list's size changes
    processes = {};
    poll.Look();
    EXPECT_EQ(ended, std::vector<std::wstring>{L"winword.exe"});

    // Excel ends while another program starts, and the size stays as it was: the end is seen
    // late, at the listing every tenth look.
    processes = {{61, L"excel.exe"}};
    stamp = 102;
    poll.Look();
    processes = {{62, L"other.exe"}};
    for (int look = 1; look < kLooksPerListing; ++look) poll.Look();
    EXPECT_EQ(ended.size(), 1u);
    poll.Look();
    EXPECT_EQ(ended, (std::vector<std::wstring>{L"winword.exe", L"excel.exe"}));
}

// The real watch on the real process list: a program named winword.exe ends.
TEST(OfficeExitWatch, SeesARealOfficeProgramEndWithinOneLook) {
    testsupport::PrivateDataFolders data(L"tessaly_guard_");
    test::OfficeProgram word(data.Root() + L"office\\winword.exe");
    ASSERT_TRUE(word.Running());
    HWND window = ::CreateWindowExW(0, L"STATIC", L"timer", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    std::vector<std::wstring> ended;
    OfficeExitWatch watch;
    watch.Start(window, 7, [&](const std::wstring& name) { ended.push_back(name); });
    if (!watch.Subscribed()) {
        // Wine's WMI cannot make the sink: the fallback polls and the error log says why.
        EXPECT_TRUE(watch.Polling());
        EXPECT_NE(test::OwnErrorLogText().find(L"watching the process list instead"), std::wstring::npos);
        watch.OnPollTimer();
        EXPECT_TRUE(ended.empty());
        ASSERT_TRUE(word.End());
        watch.OnPollTimer();
        EXPECT_EQ(ended, std::vector<std::wstring>{L"winword.exe"});
    }
    watch.Stop();
    EXPECT_FALSE(watch.Polling());
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace tessaly::guard
