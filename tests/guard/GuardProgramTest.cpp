// The guard as a user's machine runs it: zdvguard.exe in a staged program folder with the real
// engine (or a recording one), office programs played by a small program copied as "winword.exe"
// and "excel.exe" that really start and end, the Office target list from the registry and the
// per-user folders, the real quarantine, and what the guard leaves: scan log, engine messages,
// cleaned documents, its notice, its error log.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ClsQuarantine.h"
#include "E2eTest.h"
#include "GuardForm.h"
#include "GuardRun.h"
#include "GuardTestSupport.h"
#include "IniOperation.h"
#include "NoticeText.h"
#include "OfficeTestSupport.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "SampleSet.h"
#include "ScopedEnvironment.h"
#include "TextCompare.h"
#include "TextConvert.h"
#include "TextFiles.h"
#include "frmTrayVirusMonitor.h"

namespace e2e {
namespace {

using Guard = tessaly::guard::frmMain;
using Notice = tessaly::guard::frmTrayVirusMonitor;
using tessaly::test::OfficeProgram;

constexpr DWORD kWatchTimeoutMs = 30000;
constexpr DWORD kBackgroundScanTimeoutMs = 60000;
constexpr DWORD kGuardExitTimeoutMs = 20000;
// How long a guard that will not scan is given to show that it does not.
constexpr DWORD kNoScanWaitMs = 3000;
constexpr DWORD kLinkReleaseMs = 1000;
constexpr wchar_t kInfected[] = L"virus-replicator.doc";

// Ends every program from the folders when it goes, folder by folder.
class EndsPrograms {
public:
    explicit EndsPrograms(std::vector<std::wstring> folders) : m_folders(std::move(folders)) {}
    ~EndsPrograms() {
        for (const std::wstring& folder : m_folders) EndProcessesFromFolder(folder);
    }
    EndsPrograms(const EndsPrograms&) = delete;
    EndsPrograms& operator=(const EndsPrograms&) = delete;

private:
    std::vector<std::wstring> m_folders;
};

class GuardProgramTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        std::filesystem::create_directories(CommonDataFile(L""));
        std::filesystem::create_directories(Root() + L"AppData\\Tessaly");
    }

    StagedProgramFolder& StageWith(Engine engine, const std::string& fakeConfig = {}) {
        StagedProgramFolder& folder = Stage(engine, fakeConfig);
        EXPECT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
        return folder;
    }
    std::wstring OfficeFolder() const { return Root() + L"office16\\"; }
    std::unique_ptr<OfficeProgram> StartOffice(const std::wstring& name) const {
        auto program = std::make_unique<OfficeProgram>(OfficeFolder() + name);
        EXPECT_TRUE(program->Running()) << "cannot start " << ::testing::PrintToString(name);
        return program;
    }
    // The user's template folder, part of the Office target list by way of %AppData%.
    std::wstring Templates() const { return Root() + L"AppData\\Microsoft\\Templates\\"; }
    // One infected sample in the folder; its path.
    std::wstring WriteInfected(const std::wstring& folder, const std::wstring& name = kInfected) const {
        std::filesystem::create_directories(folder);
        const ExpectedScan written = WriteSample(folder, tessaly::WideToUtf8(name));
        EXPECT_EQ(written.infectedPaths.size(), 1u);
        return written.infectedPaths.empty() ? std::wstring() : written.infectedPaths.front();
    }
    void Setting(const wchar_t* key, const std::wstring& value) const {
        tessaly::WriteIniString(ConfigFile(), tessaly::ini::kAppSetting, key, value);
    }
    void HoldMarker(const std::wstring& marker) const { WriteBytes(MarkerFile(marker), "1"); }

    std::unique_ptr<GuardRun> StartGuard(const StagedProgramFolder& folder) const {
        auto guard = std::make_unique<GuardRun>(folder, CommonDataFile(L""));
        EXPECT_TRUE(guard->Started());
        EXPECT_TRUE(guard->WaitUntilWatching(kWatchTimeoutMs)) << "the guard does not watch the office programs";
        return guard;
    }
    // Ends the program once the guard's watch has seen it run, and lets the watch look again at
    // once: the ending is then seen whatever the timer's phase.
    static void EndOffice(OfficeProgram& program, const GuardRun& guard) {
        ASSERT_TRUE(guard.LookAtProcessesNow());
        ASSERT_TRUE(program.End());
        ASSERT_TRUE(guard.LookAtProcessesNow());
    }

    // A guard whose background scan waits for the recording engine, which takes every request
    // and answers no scan; nullptr when no scan began.
    std::unique_ptr<GuardRun> GuardWaitingInAScan(const StagedProgramFolder& folder) const {
        WriteInfected(Templates());
        auto word = StartOffice(L"winword.exe");
        auto guard = StartGuard(folder);
        EndOffice(*word, *guard);
        if (!WaitForMessage(folder, L"SCAN::")) {
            ADD_FAILURE() << "no background scan";
            return nullptr;
        }
        return guard;
    }

    // The statistics texts the real engine took, in order.
    std::vector<std::wstring> FeedbackOfRealEngine() const {
        std::vector<std::wstring> lines = ReadUtf8Lines(CommonDataFile(L"zdvcore_feedback.log")).value_or(std::vector<std::wstring>{});
        std::erase_if(lines, [](const std::wstring& line) { return line.find(L"FromSource=") == std::wstring::npos; });
        return lines;
    }
    bool WaitForRealEngineFeedback(std::size_t count) const {
        return WaitUntil([&] { return FeedbackOfRealEngine().size() >= count; }, kBackgroundScanTimeoutMs, 200);
    }
    std::vector<std::wstring> ScanLog() const {
        return ReadAnsiLines(CommonDataFile(L"scan.log")).value_or(std::vector<std::wstring>{});
    }
    // Engine starts of a folder with the fake engine.
    static bool EngineStarted(const StagedProgramFolder& folder) { return FileExists(folder.File(L"starts.log")); }
    static bool WaitForMessage(const StagedProgramFolder& folder, const std::wstring& prefix) {
        return WaitUntil(
            [&] {
                const std::vector<std::wstring> messages = EngineMessages(folder);
                return std::any_of(messages.begin(), messages.end(),
                                   [&](const std::wstring& m) { return m.starts_with(prefix); });
            },
            kBackgroundScanTimeoutMs, 100);
    }
};

// ---- When the guard scans and when it steps aside ------------------------------------------------

TEST_F(GuardProgramTest, WordEndingAloneScansTheWordMruDocumentsAndFindsTheInfectedCopy) {
    StagedProgramFolder& folder = StageWith(Engine::kStaged);
    // Word is the default document program, and its recent-file list names an infected document.
    const std::wstring document = WriteInfected(Root() + L"Letters\\");
    tessaly::test::NoAssociations clean;
    tessaly::test::Association docx(L".docx", L"TessalyTest.Word", L"\"" + OfficeFolder() + L"winword.exe\" /n \"%1\"");
    tessaly::test::RegistryKeyGuard mru(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\16.0\\Word\\File MRU");
    tessaly::test::SetRegText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\16.0\\Word\\File MRU", L"Item 1",
                              L"[F00000000][T01D7A1B2C3D4E5F6][O00000000]*" + document);
    // Documents and Desktop are no part of a background scan.
    testsupport::ScopedEnvironmentVariable profile(L"USERPROFILE", Root() + L"Profile");
    WriteInfected(Root() + L"Profile\\Documents\\");
    WriteInfected(Root() + L"Profile\\Desktop\\");

    auto word = StartOffice(L"winword.exe");
    auto guard = StartGuard(folder);
    EndOffice(*word, *guard);

    ASSERT_TRUE(WaitForRealEngineFeedback(1)) << "no background scan";
    const std::vector<std::wstring> feedback = FeedbackOfRealEngine();
    EXPECT_NE(feedback[0].find(L"&FromSource=5&"), std::wstring::npos) << feedback[0].c_str();
    EXPECT_NE(feedback[0].find(L"&TotalCount=1&VirusCount=1&CleanedCount=0&"), std::wstring::npos) << feedback[0].c_str();
    const std::vector<std::wstring> log = ScanLog();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(EndsWithNoCase(log[0], L"    " + document)) << ::testing::PrintToString(log[0]);
    EXPECT_GT(log[0].find(L"    "), 0u) << "no virus name";
    EXPECT_EQ(log.back().rfind(L"程序版本:", 0), 0u);
    EXPECT_TRUE(guard->Running()) << "the guard must stay after a scan";
    EXPECT_TRUE(guard->Notices().empty()) << "MonitorNotification is 0 by default";
    EXPECT_TRUE(guard->Boxes().Seen().empty());
}

TEST_F(GuardProgramTest, WordEndingWhileExcelRunsIsNoScanAndExcelEndingThenIs) {
    StagedProgramFolder& folder = StageWith(Engine::kFake, kRecordingEngine);
    WriteInfected(Templates());
    auto word = StartOffice(L"winword.exe");
    auto excel = StartOffice(L"excel.exe");
    auto guard = StartGuard(folder);

    EndOffice(*word, *guard);
    ::Sleep(kNoScanWaitMs);
    EXPECT_FALSE(EngineStarted(folder)) << "a scan started while Excel still runs";

    EndOffice(*excel, *guard);
    EXPECT_TRUE(WaitForMessage(folder, L"INIT::PING::1001")) << "Excel's end brought no scan";
    EXPECT_TRUE(WaitForMessage(folder, L"SCAN::"));
}

TEST_F(GuardProgramTest, TheMainProgramOrAnInstallationKeepsTheGuardFromScanning) {
    StagedProgramFolder& folder = StageWith(Engine::kFake, kRecordingEngine);
    WriteInfected(Templates());
    HoldMarker(L"zdvmain");
    auto word = StartOffice(L"winword.exe");
    auto excel = StartOffice(L"excel.exe");
    auto guard = StartGuard(folder);
    EndOffice(*word, *guard);
    ::Sleep(kNoScanWaitMs);
    EXPECT_FALSE(EngineStarted(folder)) << "a scan started while the main program runs";
    EXPECT_TRUE(guard->Running());

    ASSERT_TRUE(::DeleteFileW(MarkerFile(L"zdvmain").c_str()));
    HoldMarker(L"zdvinstalling");
    EndOffice(*excel, *guard);
    ::Sleep(kNoScanWaitMs);
    EXPECT_FALSE(EngineStarted(folder)) << "a scan started while an installation runs";
    // The installing watch's next tick ends the guard.
    guard->Tick(Guard::kTimerCheckUpgrading);
    EXPECT_TRUE(guard->WaitForExit(kGuardExitTimeoutMs).has_value()) << "the installation did not end the guard";
    EXPECT_FALSE(EngineStarted(folder));
}

// Excel without Word, its open command stored with "%ProgramFiles%" unexpanded: Office discovery
// asks "Excel.Application", which starts Excel (played by the office stand-in that COM starts),
// and quits it; like the real one that Excel stays a moment before it ends.
TEST_F(GuardProgramTest, TheExcelItsOwnDiscoveryStartedNeitherStopsTheScanNorStartsAnother) {
    StagedProgramFolder& folder = StageWith(Engine::kStaged);
    const std::wstring automation = OfficeFolder() + L"automation\\";
    std::filesystem::create_directories(automation);
    ASSERT_TRUE(::CopyFileW((tessaly::test::TestProgramFolder() + L"office_standin.exe").c_str(),
                            (automation + L"excel.exe").c_str(), FALSE));
    tessaly::test::AutomationOnlyOffice office(automation + L"excel.exe");
    // Whatever this test's guard started ends with the test, the guard first.
    const EndsPrograms endAll({folder.Folder(), automation});
    std::filesystem::create_directories(Templates());
    ASSERT_EQ(WriteSample(Templates(), "clean.doc").files, 1);
    auto word = StartOffice(L"winword.exe");
    auto guard = StartGuard(folder);
    EndOffice(*word, *guard);

    ASSERT_TRUE(WaitForRealEngineFeedback(1)) << "no background scan";
    EXPECT_NE(FeedbackOfRealEngine()[0].find(L"&TotalCount=1&"), std::wstring::npos)
        << "the scan was stopped by its own Excel: " << FeedbackOfRealEngine()[0].c_str();
    ::Sleep(kLinkReleaseMs);
    const std::vector<DWORD> started = ProcessesFromFolder(automation);
    ASSERT_FALSE(started.empty()) << "discovery started no Excel";
    ASSERT_TRUE(guard->LookAtProcessesNow());
    EndProcessesFromFolder(automation);
    ASSERT_TRUE(guard->LookAtProcessesNow());
    ::Sleep(kNoScanWaitMs);
    EXPECT_EQ(FeedbackOfRealEngine().size(), 1u) << "the end of its own Excel started another scan";
    EXPECT_TRUE(guard->Running());
}

// ---- Stopping and ending --------------------------------------------------------------------------

TEST_F(GuardProgramTest, AnInstallationWhileTheEngineDoesNotAnswerTheHandshakeEndsTheGuardAtOnce) {
    StagedProgramFolder& folder = StageWith(Engine::kFake, "idle=1 take=1 pong=0 record=1");
    WriteInfected(Templates());
    auto word = StartOffice(L"winword.exe");
    auto guard = StartGuard(folder);
    EndOffice(*word, *guard);
    ASSERT_TRUE(WaitForMessage(folder, L"INIT::PING::1001")) << "no connect";
    HoldMarker(L"zdvinstalling");
    guard->Tick(Guard::kTimerCheckUpgrading);
    // The installation's copy waits 60 s for the other programs; the handshake alone would take as long.
    EXPECT_TRUE(guard->WaitForExit(kGuardExitTimeoutMs).has_value()) << "the guard lingered in the engine's handshake";
    for (const std::wstring& message : EngineMessages(folder)) EXPECT_FALSE(message.starts_with(L"SCAN::"));
}

TEST_F(GuardProgramTest, AnInstallationDuringAScanCancelsItAndEndsTheGuardAfterItsClientExit) {
    StagedProgramFolder& folder = StageWith(Engine::kFake, kRecordingEngine);
    Setting(tessaly::ini::kMonitorDoAction, L"2");
    auto guard = GuardWaitingInAScan(folder);
    ASSERT_TRUE(guard);

    HoldMarker(L"zdvinstalling");
    guard->Tick(Guard::kTimerCheckUpgrading);
    ASSERT_TRUE(guard->WaitForExit(kGuardExitTimeoutMs).has_value()) << "the installation did not end the guard";
    const std::vector<std::wstring> messages = EngineMessages(folder);
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages.front(), L"INIT::PING::1001");
    EXPECT_EQ(messages.back(), L"CLIENT::EXIT");
    EXPECT_EQ(std::count(messages.begin(), messages.end(), L"CLIENT::EXIT"), 1);
    for (const std::wstring& message : messages) EXPECT_FALSE(message.starts_with(L"CLEAN::")) << message.c_str();
    EXPECT_FALSE(FileExists(MarkerFile(L"zdvguard"))) << "the guard's marker outlived it";
}

TEST_F(GuardProgramTest, WordStartedAgainDuringAScanStopsItAndTheGuardStays) {
    StagedProgramFolder& folder = StageWith(Engine::kFake, kRecordingEngine);
    auto guard = GuardWaitingInAScan(folder);
    ASSERT_TRUE(guard);

    auto wordAgain = StartOffice(L"winword.exe");
    guard->Tick(Guard::kTimerCheckExitScanCondition);
    ASSERT_TRUE(WaitForMessage(folder, L"CLIENT::EXIT")) << "the scan was not stopped";
    // The link is released within one poll of that last send; an exit seen before is dropped.
    ::Sleep(kLinkReleaseMs);
    EXPECT_TRUE(guard->Running());
    // An office program that ends while nothing runs any more scans again.
    const std::size_t pings = 1;
    EndOffice(*wordAgain, *guard);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::vector<std::wstring> messages = EngineMessages(folder);
            return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), L"INIT::PING::1001")) > pings;
        },
        kBackgroundScanTimeoutMs, 100))
        << "the guard did not scan again after a stopped scan";
}

TEST_F(GuardProgramTest, AnEngineThatTellsTheGuardToGoEndsIt) {
    StagedProgramFolder& folder = StageWith(Engine::kFake, "idle=1 take=1 pong=1 reply=clientexit record=1");
    WriteInfected(Templates());
    Setting(tessaly::ini::kMonitorDoAction, L"2");
    auto word = StartOffice(L"winword.exe");
    auto guard = StartGuard(folder);
    EndOffice(*word, *guard);
    ASSERT_TRUE(guard->WaitForExit(kGuardExitTimeoutMs).has_value()) << "the guard stayed after the engine's exit";
    const std::vector<std::wstring> messages = EngineMessages(folder);
    for (const std::wstring& message : messages) EXPECT_FALSE(message.starts_with(L"CLEAN::")) << message.c_str();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), L"CLIENT::EXIT");
}

TEST_F(GuardProgramTest, AnEngineThatDiesMidScanLeavesTheGuardUpAndTheNextExitStartsItAgain) {
    StagedProgramFolder& folder = StageWith(Engine::kFake, kRecordingEngine);
    auto guard = GuardWaitingInAScan(folder);
    ASSERT_TRUE(guard);
    for (DWORD id : ProcessesFromFolder(folder.Folder())) {
        if (!EndsWithNoCase(ProcessImagePath(id), L"\\zdvcore.exe")) continue;
        tessaly::unique_kernel_handle engine(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        ASSERT_TRUE(engine);
        ::TerminateProcess(engine.get(), 1);
        ::WaitForSingleObject(engine.get(), kGuardExitTimeoutMs);
    }
    // The silent scan notices a dead engine only by its missing answer; the main program's
    // start stops that wait.
    HoldMarker(L"zdvmain");
    guard->Tick(Guard::kTimerCheckExitScanCondition);
    // The dead engine's block lives on while the guard holds it; its sends wait in vain until
    // their limit, and then the guard lets go of it.
    ASSERT_TRUE(WaitUntil(EngineBlockFree, kGuardExitTimeoutMs, 100)) << "the guard kept the dead engine's block";
    ASSERT_TRUE(guard->Running());
    ::DeleteFileW(MarkerFile(L"zdvmain").c_str());

    auto excel = StartOffice(L"excel.exe");
    EndOffice(*excel, *guard);
    EXPECT_TRUE(WaitUntil([&] { return ReadAnsiLines(folder.File(L"starts.log")).value_or(std::vector<std::wstring>{}).size() == 2; },
                          kBackgroundScanTimeoutMs, 100))
        << "the next office exit did not start the engine again";
    EXPECT_TRUE(guard->Running());
}

TEST_F(GuardProgramTest, AMissingEngineCostsOneAttemptAndTheNextExitTriesAgain) {
    StagedProgramFolder& folder = StageWith(Engine::kMissing);
    WriteInfected(Templates());
    auto word = StartOffice(L"winword.exe");
    auto guard = StartGuard(folder);
    EndOffice(*word, *guard);
    const auto attempts = [&] {
        const std::wstring log = guard->ErrorLog();
        std::size_t count = 0;
        for (std::size_t at = log.find(L"engine could not be connected"); at != std::wstring::npos;
             at = log.find(L"engine could not be connected", at + 1))
            ++count;
        return count;
    };
    ASSERT_TRUE(WaitUntil([&] { return attempts() == 1; }, kBackgroundScanTimeoutMs, 200));
    EXPECT_TRUE(guard->Running());
    auto excel = StartOffice(L"excel.exe");
    EndOffice(*excel, *guard);
    EXPECT_TRUE(WaitUntil([&] { return attempts() == 2; }, kBackgroundScanTimeoutMs, 200));
    EXPECT_TRUE(guard->Running());
    EXPECT_TRUE(guard->Boxes().Seen().empty()) << "a background scan shows no message box";
}

TEST_F(GuardProgramTest, ASecondGuardEndsAtOnceAndLeavesTheFirstOneItsMarker) {
    StagedProgramFolder& folder = StageWith(Engine::kMissing);
    auto first = StartGuard(folder);
    ChildProcess second(folder.Guard(), L"", folder.Folder());
    ASSERT_TRUE(second.Valid());
    EXPECT_EQ(second.WaitForExit(kGuardExitTimeoutMs), std::optional<DWORD>(0));
    EXPECT_TRUE(first->Running());
    EXPECT_EQ(ReadBytes(MarkerFile(L"zdvguard")), std::optional<std::string>(std::to_string(first->Id())));
    EXPECT_EQ(TopWindowsOf(second.Id()).size(), 0u);
}

// ---- Cleaning and the notice ----------------------------------------------------------------------

TEST_F(GuardProgramTest, CleanAtOnceBacksEachDocumentUpRestorablyAndCleansIt) {
    StagedProgramFolder& folder = StageWith(Engine::kStaged);
    const std::wstring document = WriteInfected(Templates());
    const std::optional<std::string> original = ReadBytes(document);
    ASSERT_TRUE(original.has_value());
    Setting(tessaly::ini::kMonitorDoAction, L"2");
    Setting(tessaly::ini::kMonitorNotification, L"yes");  // not a number: no notice, no harm
    auto word = StartOffice(L"winword.exe");
    auto guard = StartGuard(folder);
    EndOffice(*word, *guard);

    ASSERT_TRUE(WaitForRealEngineFeedback(1)) << "no background scan";
    EXPECT_NE(FeedbackOfRealEngine()[0].find(L"&VirusCount=1&CleanedCount=1&"), std::wstring::npos);
    const std::optional<std::string> cleaned = ReadBytes(document);
    ASSERT_TRUE(cleaned.has_value());
    EXPECT_NE(*cleaned, *original) << "the document was not cleaned";
    EXPECT_TRUE(WaitUntil([&] { return guard->ErrorLog().find(L"MonitorNotification is not a number: yes") !=
                                       std::wstring::npos; },
                          kBackgroundScanTimeoutMs, 100));
    EXPECT_TRUE(guard->Notices().empty());
    EXPECT_TRUE(guard->Running());

    // The backup in the shared quarantine gives the document back byte for byte.
    tessaly::ClsQuarantine store;
    std::vector<std::wstring> records;
    ASSERT_TRUE(store.GetRecords(records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(EndsWithNoCase(records[0], L"::" + document)) << ::testing::PrintToString(records[0]);
    const std::wstring storedPath = records[0].substr(records[0].find(L"::") + 2);
    std::wstring failed;
    ASSERT_TRUE(store.RestoreQuarantineFiles({storedPath}, failed)) << ::testing::PrintToString(failed);
    EXPECT_EQ(ReadBytes(document), original);
}

TEST_F(GuardProgramTest, TheNoticeShowsThreeThreatsInTheCornerAndClosesItself) {
    StagedProgramFolder& folder = StageWith(Engine::kStaged);
    // Deep enough for the notice to shorten the path, short enough for the walk to keep it whole.
    const std::wstring base = Templates() + L"Reports";
    const std::wstring deep = base + std::wstring(base.size() < 70 ? 70 - base.size() : 1, L'x') + L"\\";
    WriteInfected(deep, L"virus-replicator.doc");
    WriteInfected(deep, L"virus-runner.doc");
    WriteInfected(deep, L"virus-downloader.xls");
    Setting(tessaly::ini::kMonitorNotification, L"1");
    auto word = StartOffice(L"winword.exe");
    auto guard = StartGuard(folder);
    EndOffice(*word, *guard);

    HWND notice = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<HWND> notices = guard->Notices();
            notice = notices.empty() ? nullptr : notices.front();
            return notice != nullptr && HasVisibleStyle(notice);
        },
        kBackgroundScanTimeoutMs, 50))
        << "no notice";
    EXPECT_EQ(WindowCaption(notice), L"发现病毒威胁");
    EXPECT_EQ(ControlText(::GetDlgItem(notice, Notice::kIdLabel1)), L"发现病毒威胁数：");
    EXPECT_EQ(ControlText(::GetDlgItem(notice, Notice::kIdLblVirusCount)), L"3");

    // The first finding of the scan log is the first infected document: its path and virus name.
    const std::vector<std::wstring> log = ScanLog();
    ASSERT_GE(log.size(), 3u);
    const std::size_t gap = log[0].find(L"    ");
    ASSERT_NE(gap, std::wstring::npos);
    const std::wstring firstVirus = log[0].substr(0, gap);
    const std::wstring firstPath = log[0].substr(gap + 4) + L" ...";
    ASSERT_GT(firstPath.size(), 80u);
    EXPECT_TRUE(SameNoCase(ControlText(::GetDlgItem(notice, Notice::kIdLblVirusPath)),
                           tessaly::guard::NoticePathText(firstPath)));
    const std::vector<HWND> tips = TopWindowsOf(guard->Id(), L"tooltips_class32");
    const auto tip = std::find_if(tips.begin(), tips.end(), [&](HWND t) { return ::GetWindow(t, GW_OWNER) == notice; });
    ASSERT_NE(tip, tips.end()) << "the path has no tool tip";
    EXPECT_TRUE(SameNoCase(RemoteToolTipText(*tip, notice, ::GetDlgItem(notice, Notice::kIdLblVirusPath)), firstPath));
    EXPECT_EQ(ControlText(::GetDlgItem(notice, Notice::kIdLblVirusName)), firstVirus + L" ...");

    RECT outer{}, inner{};
    ::GetWindowRect(notice, &outer);
    ::GetClientRect(notice, &inner);
    EXPECT_EQ(outer.left, ::GetSystemMetrics(SM_CXSCREEN) - (inner.right + 150));
    EXPECT_EQ(outer.top, ::GetSystemMetrics(SM_CYSCREEN) - (inner.bottom + 100));
    EXPECT_NE(::GetWindowLongPtrW(notice, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(::GetWindow(notice, GW_OWNER), guard->Window());

    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(notice); }, 15000, 100)) << "the notice did not close itself";
    EXPECT_TRUE(guard->Running());
}

}  // namespace
}  // namespace e2e
