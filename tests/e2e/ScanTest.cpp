// "/sf " scans as the Explorer verb starts them, against the staged engine: the scan page's
// counters and the scan log after a folder of sample documents and after one file, and the exit
// over results that still await the user's decision.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "DrosselRun.h"
#include "E2eTest.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "SampleSet.h"
#include "TextCompare.h"
#include "TextConvert.h"
#include "TextFiles.h"
#include "ChildProcess.h"
#include "frmMain.h"
#include "UserTexts.h"
#include "usrScanCleanPage.h"

namespace e2e {
namespace {

using tessaly::usrScanCleanPage;

constexpr std::size_t kSummaryLines = 6;
constexpr wchar_t kFindingSeparator[] = L"    ";

std::wstring Number(int value) { return std::to_wstring(value); }

void ExpectCounters(const DrosselRun& run, const ExpectedScan& expected) {
    EXPECT_EQ(run.Counter(0), Number(expected.files)) << "扫描文件";
    EXPECT_EQ(run.Counter(1), Number(expected.viruses)) << "病毒数";
    EXPECT_EQ(run.Counter(2), L"0") << "清除病毒";
    EXPECT_EQ(run.Counter(3), Number(expected.suspected)) << "可疑文件";
    EXPECT_EQ(run.Counter(4), Number(expected.encrypted)) << "加密文件";
    EXPECT_EQ(run.Counter(5), L"0") << "清除失败";
    EXPECT_EQ(run.Counter(6), Number(expected.damaged)) << "损坏文件";
}

void ExpectSummary(const std::vector<std::wstring>& summary, const ExpectedScan& expected) {
    ASSERT_EQ(summary.size(), kSummaryLines);
    EXPECT_EQ(summary[0], L"**********扫描结果**********");
    EXPECT_EQ(summary[1].rfind(L"扫描日期:", 0), 0u);
    EXPECT_GT(summary[1].size(), std::wstring(L"扫描日期:").size());
    EXPECT_EQ(summary[2], L"扫描文件数:" + Number(expected.files));
    EXPECT_EQ(summary[3], L"病毒数:" + Number(expected.viruses));
    EXPECT_EQ(summary[4], L"可疑文件数:" + Number(expected.suspected));
    EXPECT_EQ(summary[5], std::wstring(L"程序版本:") + TESSALY_VERSION_TEXT);
}

// One finding line per infected file (virus name, four blanks, path) and per suspected file
// ("可疑", four blanks, path), in any order, before the summary.
void ExpectFindings(const std::vector<std::wstring>& findings, const ExpectedScan& expected) {
    EXPECT_EQ(findings.size(), expected.infectedPaths.size() + expected.suspectedPaths.size());
    for (const std::wstring& path : expected.suspectedPaths) {
        const std::wstring line = L"可疑" + std::wstring(kFindingSeparator) + path;
        EXPECT_EQ(std::count_if(findings.begin(), findings.end(), [&](const auto& f) { return SameNoCase(f, line); }), 1)
            << "suspected " << ::testing::PrintToString(path);
    }
    for (const std::wstring& path : expected.infectedPaths) {
        const std::wstring end = kFindingSeparator + path;
        const auto match = [&](const std::wstring& f) {
            return f.size() > end.size() && EndsWithNoCase(f, end) && f.rfind(L"可疑", 0) != 0;
        };
        EXPECT_EQ(std::count_if(findings.begin(), findings.end(), match), 1)
            << "infected " << ::testing::PrintToString(path);
    }
}

void ExpectScanLog(const std::wstring& logPath, const ExpectedScan& expected) {
    const auto lines = ReadAnsiLines(logPath);
    ASSERT_TRUE(lines.has_value()) << "no scan.log";
    ASSERT_GE(lines->size(), kSummaryLines);
    const auto summaryStart = lines->end() - static_cast<std::ptrdiff_t>(kSummaryLines);
    ExpectFindings(std::vector<std::wstring>(lines->begin(), summaryStart), expected);
    ExpectSummary(std::vector<std::wstring>(summaryStart, lines->end()), expected);
}

class ScanTest : public E2eTest {
protected:
    // Runs the command line's scan to its end and checks the page and the log.
    std::unique_ptr<DrosselRun> ScanAndCheck(const std::wstring& arguments, const ExpectedScan& expected) {
        const StagedProgramFolder& folder = Stage(Engine::kStaged);
        EXPECT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
        auto run = std::make_unique<DrosselRun>(folder, arguments);
        if (!run->WaitUntilReady(kStartTimeoutMs)) {
            ADD_FAILURE() << "no ready main window";
            return nullptr;
        }
        if (!run->WaitForScanEnd(kScanTimeoutMs)) {
            ADD_FAILURE() << "the scan did not end";
            return nullptr;
        }
        EXPECT_TRUE(HasVisibleStyle(run->PageFrame(1)));
        EXPECT_FALSE(HasVisibleStyle(run->PageFrame(0)));
        EXPECT_FALSE(HasVisibleStyle(run->ScanPageControl(usrScanCleanPage::kIdLblEngineloadFailedErr0)));
        ExpectCounters(*run, expected);
        ExpectScanLog(CommonDataFile(texts::kScanLog), expected);
        EXPECT_TRUE(run->Boxes().Seen().empty());
        return run;
    }

    // Leaving uncleaned viruses behind is confirmed; back on the choice page the page is idle, so
    // closing asks nothing.
    static void GoBackAndClose(DrosselRun& run, const ExpectedScan& expected) {
        run.Boxes().Answer(texts::kProgramTitle, {IDYES});
        PostButtonClick(run.ScanPageControl(usrScanCleanPage::kIdCmdBackToScanPage));
        EXPECT_TRUE(WaitUntil([&] { return HasVisibleStyle(run.ScanPageControl(usrScanCleanPage::kIdFrameScanPage)); },
                              kExitTimeoutMs));
        const std::vector<SeenBox> boxes = run.Boxes().Seen();
        ASSERT_EQ(boxes.size(), expected.viruses > 0 ? 1u : 0u);
        if (!boxes.empty()) {
            EXPECT_EQ(boxes[0].text, texts::kLeaveResultsQuestion);
        }
        run.Close();
        EXPECT_TRUE(run.WaitForExit(kExitTimeoutMs).has_value()) << "drossel.exe did not end";
        EXPECT_EQ(run.Boxes().Seen().size(), boxes.size());
    }
};

}  // namespace

TEST_F(ScanTest, FolderOfSampleDocuments) {
    const std::wstring documents = Root() + L"docs\\";
    const ExpectedScan expected = WriteSampleSet(documents);
    ASSERT_GT(expected.viruses, 0);
    ASSERT_GT(expected.suspected, 0);
    const auto run = ScanAndCheck(L"/sf " + documents.substr(0, documents.size() - 1), expected);
    ASSERT_TRUE(run);
    GoBackAndClose(*run, expected);
}

// The switch in capitals is accepted, and the path reaches the scan lower-cased.
TEST_F(ScanTest, OneInfectedFileNamedInCapitals) {
    const std::wstring documents = Root() + L"docs\\";
    const ExpectedScan expected = WriteSample(documents, "virus-replicator.doc");
    ASSERT_EQ(expected.viruses, 1);
    const std::wstring path = documents + L"virus-replicator.doc";
    const auto run = ScanAndCheck(L"/SF " + tessaly::ToUpperText(path), expected);
    ASSERT_TRUE(run);
    GoBackAndClose(*run, expected);
    const auto lines = ReadAnsiLines(CommonDataFile(texts::kScanLog)).value_or(std::vector<std::wstring>{});
    ASSERT_FALSE(lines.empty());
    const std::wstring lowered = kFindingSeparator + tessaly::ToLowerText(path);
    EXPECT_EQ(lines[0].substr(lines[0].size() - std::min(lines[0].size(), lowered.size())), lowered);
}

}  // namespace e2e

namespace e2e {

// Results that await a decision are no running scan: once the user confirms the exit, nothing is
// left to stop, and the hidden process must not linger, for while it runs a new start of the
// program counts as a second instance and ends without a word.
TEST_F(ScanTest, ConfirmedExitOverUncleanedResultsEndsPromptly) {
    const std::wstring documents = Root() + L"docs\\";
    const ExpectedScan expected = WriteSample(documents, "virus-replicator.doc");
    const auto run = ScanAndCheck(L"/sf " + documents + L"virus-replicator.doc", expected);
    ASSERT_TRUE(run);
    run->Boxes().Answer(texts::kExitTitle, {IDYES});
    run->Close();
    ASSERT_TRUE(run->Boxes().WaitForBoxes(texts::kExitTitle, 1, kExitTimeoutMs)) << "no exit question";
    EXPECT_TRUE(run->WaitForExit(kExitTimeoutMs).has_value()) << "drossel.exe lingered after Yes";
    EXPECT_FALSE(FileExists(MarkerFile(texts::kMainMarker)));
}

// An installation waits for the program: results that await a decision are no scan (the scan log
// holds them), so the installing marker closes the window without a question, and while the
// marker exists the start timers start neither the updater nor the guard.
TEST_F(ScanTest, TheInstallingMarkerClosesOverUncleanedResultsWithoutAQuestion) {
    const std::wstring documents = Root() + L"docs\\";
    const ExpectedScan expected = WriteSample(documents, "virus-replicator.doc");
    const auto run = ScanAndCheck(L"/sf " + documents + L"virus-replicator.doc", expected);
    ASSERT_TRUE(run);
    WriteBytes(MarkerFile(texts::kInstallingMarker), "1");
    for (UINT_PTR timer : {tessaly::frmMain::kTimerShellUpdate, tessaly::frmMain::kTimerStartGuard}) {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(run->Window(), WM_TIMER, timer, 0, SMTO_NORMAL, kExitTimeoutMs, &result);
    }
    // A program a timer started exists once the handler has returned.
    for (DWORD id : ProcessesFromFolder(Root() + L"prog\\")) {
        const std::wstring image = ProcessImagePath(id);
        EXPECT_FALSE(EndsWithNoCase(image, L"zdvshengji.exe") || EndsWithNoCase(image, L"zdvguard.exe"))
            << ::testing::PrintToString(image) << " started during the installation";
    }
    ::PostMessageW(run->Window(), WM_TIMER, tessaly::frmMain::kTimerCheckUpgrading, 0);
    EXPECT_TRUE(run->WaitForExit(kExitTimeoutMs).has_value()) << "the installing marker did not close drossel.exe";
    EXPECT_TRUE(run->Boxes().Seen().empty()) << "the installing marker made drossel.exe ask";
    EXPECT_FALSE(FileExists(MarkerFile(texts::kMainMarker)));
}

}  // namespace e2e
