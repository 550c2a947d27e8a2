// Closing drossel.exe while a scan waits for the engine: the question, No keeping everything as
// it was, Yes ending the process with its marker gone and the engine told that the client leaves.
#include <gtest/gtest.h>

#include <algorithm>

#include "DrosselRun.h"
#include "E2eTest.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "TextCompare.h"
#include "TextFiles.h"
#include "UserTexts.h"
#include "usrScanCleanPage.h"

namespace e2e {
namespace {

constexpr DWORD kRequestTimeoutMs = 20000;
constexpr DWORD kBoxTimeoutMs = 10000;
// How long the window must stay after No before the test believes it stays.
constexpr DWORD kSettleMs = 1500;

}  // namespace

TEST_F(E2eTest, ClosingDuringAScanAsksAndEndsOnlyOnYes) {
    const StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    const std::wstring documents = Root() + L"docs\\";
    ::CreateDirectoryW(documents.c_str(), nullptr);
    const std::wstring document = documents + L"report.docx";
    WriteBytes(document, std::string(200, 'x'));

    DrosselRun run(folder, L"/sf " + document);
    ASSERT_TRUE(run.WaitUntilReady(kStartTimeoutMs)) << "no ready main window";
    const std::wstring request = ScanRequestFor(document);
    ASSERT_TRUE(WaitUntil([&] { return ContainsNoCase(EngineMessages(folder), request); }, kRequestTimeoutMs))
        << "the engine never got the scan request";

    run.Boxes().Answer(texts::kExitTitle, {IDNO, IDYES});
    run.Close();
    ASSERT_TRUE(run.Boxes().WaitForBoxes(texts::kExitTitle, 1, kBoxTimeoutMs)) << "no exit question";
    EXPECT_EQ(run.Boxes().Seen().front().text, texts::kExitQuestion);
    EXPECT_FALSE(WaitUntil([&] { return !::IsWindowVisible(run.Window()) || !run.Process().Running(); }, kSettleMs))
        << "No did not keep the window";
    EXPECT_TRUE(FileExists(MarkerFile(texts::kMainMarker)));
    EXPECT_TRUE(HasVisibleStyle(run.ScanPageControl(tessaly::usrScanCleanPage::kIdCmdScanCleanBreak)))
        << "the scan did not go on";
    EXPECT_FALSE(ContainsNoCase(EngineMessages(folder), L"CLIENT::EXIT"));

    run.Close();
    ASSERT_TRUE(run.Boxes().WaitForBoxes(texts::kExitTitle, 2, kBoxTimeoutMs)) << "no second exit question";
    ASSERT_TRUE(run.WaitForExit(kExitTimeoutMs).has_value()) << "Yes did not end drossel.exe";
    EXPECT_FALSE(FileExists(MarkerFile(texts::kMainMarker)));
    const std::vector<std::wstring> messages = EngineMessages(folder);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), L"CLIENT::EXIT");
    EXPECT_EQ(run.Boxes().Seen().size(), 2u);
}

}  // namespace e2e
