// The guard's process-exit watch: what the polling sees in a list of processes that changes
// between looks, and the whole watch against real processes of this machine (under Wine the WMI
// subscription is refused, so the watch must fall back to polling and say so in the error log).
// What the watch does when a subscription ends is shown with a scripted event source, and the
// sink's events and the WMI date through their own functions: Wine delivers no WMI events.
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
        poll.Start([this](const RunningProcess& process) { ended.push_back(process.name); });
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
    poll.Start([this](const RunningProcess& process) {
        ended.push_back(process.name);
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
    watch.Start(window, 7, [&](const RunningProcess& process) { ended.push_back(process.name); });
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

// A subscription the test holds in its hands: it accepts or refuses, and it can be lost.
class ScriptedEvents final : public ProcessExitEvents {
public:
    bool Subscribe(ProcessEndedHandler, SubscriptionLostHandler onLost) noexcept override {
        ++subscriptions;
        if (refuse) return false;
        m_onLost = std::move(onLost);
        return true;
    }
    void Cancel() noexcept override { m_onLost = nullptr; }
    [[nodiscard]] bool Subscribed() const noexcept override { return static_cast<bool>(m_onLost); }
    [[nodiscard]] const std::wstring& LastError() const noexcept override { return m_error; }
    // The WMI service restarts: the query ends without our Cancel.
    void Lose() { m_onLost(); }

    int subscriptions = 0;
    bool refuse = false;

private:
    SubscriptionLostHandler m_onLost;
    std::wstring m_error = L"refused";
};

TEST(OfficeExitWatch, ALostSubscriptionIsMadeAgainAtTheNextTickAndThePollTakesOverWhenRefused) {
    testsupport::PrivateDataFolders data(L"tessaly_guard_");
    auto owned = std::make_unique<ScriptedEvents>();
    ScriptedEvents& wmi = *owned;
    std::vector<RunningProcess> processes{{70, L"winword.exe", 0}};
    OfficeExitWatch watch([&] { return std::optional(processes); }, nullptr, std::move(owned));
    HWND window = ::CreateWindowExW(0, L"STATIC", L"timer", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    std::vector<std::wstring> ended;
    watch.Start(window, 7, [&](const RunningProcess& process) { ended.push_back(process.name); });
    ASSERT_TRUE(watch.Subscribed());
    EXPECT_FALSE(::KillTimer(window, 7)) << "a subscription needs no timer";

    wmi.Lose();
    EXPECT_TRUE(::KillTimer(window, 7)) << "nothing will make the subscription again";
    watch.OnPollTimer();
    EXPECT_EQ(wmi.subscriptions, 2);
    EXPECT_TRUE(watch.Subscribed());
    EXPECT_FALSE(watch.Polling());

    wmi.refuse = true;
    wmi.Lose();
    watch.OnPollTimer();
    EXPECT_EQ(wmi.subscriptions, 3);
    ASSERT_TRUE(watch.Polling());
    EXPECT_TRUE(::KillTimer(window, 7)) << "the poll has no timer";
    processes.clear();
    watch.OnPollTimer();
    EXPECT_EQ(ended, std::vector<std::wstring>{L"winword.exe"});
    EXPECT_NE(test::OwnErrorLogText().find(L"the WMI process events ended"), std::wstring::npos);
    watch.Stop();
    ::DestroyWindow(window);
}

TEST(SinkEvents, OnCompletedTellsOfTheLossOnceAndOnObjectReadyWithoutAnObjectNothing) {
    int lost = 0, ended = 0;
    com_ptr<IDispatch> events(NewSinkEvents([&](const RunningProcess&) { ++ended; }, [&] { ++lost; }));
    DISPPARAMS none{};
    for (DISPID member : {1, 2, 2, 3})
        events->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    EXPECT_EQ(lost, 1) << "a query reports its end once";
    EXPECT_EQ(ended, 0);
}

TEST(WmiDateTime, ReadsLocalTimeWithItsOffsetAsUtc) {
    SYSTEMTIME utc{2024, 1, 0, 5, 9, 30, 0, 0};
    FILETIME expected{};
    ASSERT_TRUE(::SystemTimeToFileTime(&utc, &expected));
    const std::uint64_t steps = (static_cast<std::uint64_t>(expected.dwHighDateTime) << 32) | expected.dwLowDateTime;
    EXPECT_EQ(WmiDateTimeToSystemTime(L"20240105103000.500000+060"), steps + 5000000);
    EXPECT_EQ(WmiDateTimeToSystemTime(L"20240105083000.000000-060"), steps);
    for (const wchar_t* text : {L"", L"20240105103000.500000", L"2024010510300x.500000+060", L"20241305103000.000000+000"})
        EXPECT_EQ(WmiDateTimeToSystemTime(text), 0u) << WideToUtf8(text);
}

}  // namespace
}  // namespace tessaly::guard
