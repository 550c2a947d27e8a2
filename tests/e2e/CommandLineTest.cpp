// "/sf " starts as the Explorer verb or a user's typing makes them: a second start hands its path
// to the window that already runs (two real processes), a path that arrives while a scan runs is
// scanned after it, and a path that cannot be scanned is named in a message instead of being
// passed over in silence.
#include <gtest/gtest.h>

#include "DrosselRun.h"
#include "E2eTest.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "TextCompare.h"
#include "TextConvert.h"
#include "TextFiles.h"
#include "UserTexts.h"
#include "usrScanCleanPage.h"

namespace e2e {
namespace {

using tessaly::usrScanCleanPage;

constexpr DWORD kRequestTimeoutMs = 20000;
constexpr DWORD kBoxTimeoutMs = 15000;

// A folder of the test's root holding one small document that goes to the engine.
std::wstring DocumentFolder(const std::wstring& root, const std::wstring& name) {
    const std::wstring folder = root + name + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    WriteBytes(folder + L"letter.docx", std::string(200, 'x'));
    return folder;
}

void StartReady(DrosselRun& run) {
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.WaitUntilReady(kStartTimeoutMs)) << "no ready main window";
}

}  // namespace

TEST_F(E2eTest, SecondStartHandsItsPathToTheRunningWindow) {
    const StagedProgramFolder& folder = Stage(Engine::kStaged);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    const std::wstring documents = DocumentFolder(Root(), L"docs");

    DrosselRun first(folder, L"");
    ASSERT_NO_FATAL_FAILURE(StartReady(first));
    ASSERT_TRUE(HasVisibleStyle(first.PageFrame(0)));
    DrosselRun second(folder, L"/sf " + documents);
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitForExit(kExitTimeoutMs).value_or(1234), 0u) << "the second start kept running";
    EXPECT_TRUE(second.Boxes().Seen().empty());

    // The running window shows the scan of the handed path and finishes it.
    EXPECT_TRUE(first.WaitForScanEnd(kScanTimeoutMs)) << "the handed-over path was not scanned";
    EXPECT_TRUE(HasVisibleStyle(first.PageFrame(1)));
    EXPECT_EQ(first.Counter(0), L"1");
    EXPECT_TRUE(FileExists(CommonDataFile(texts::kScanLog)));
    EXPECT_TRUE(first.Boxes().Seen().empty());
    first.Close();
    EXPECT_TRUE(first.WaitForExit(kExitTimeoutMs).has_value());
}

TEST_F(E2eTest, PathHandedOverDuringAScanIsScannedAfterIt) {
    const StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    const std::wstring busy = DocumentFolder(Root(), L"busy");
    const std::wstring later = DocumentFolder(Root(), L"later");

    // This engine never answers: the first scan waits until it is cancelled.
    DrosselRun first(folder, L"/sf " + busy);
    ASSERT_NO_FATAL_FAILURE(StartReady(first));
    ASSERT_TRUE(WaitUntil([&] { return ContainsNoCase(EngineMessages(folder), ScanRequestFor(busy + L"letter.docx")); },
                          kRequestTimeoutMs));
    DrosselRun second(folder, L"/sf " + later);
    EXPECT_EQ(second.WaitForExit(kExitTimeoutMs).value_or(1234), 0u) << "the second start kept running";
    EXPECT_TRUE(second.Boxes().Seen().empty());
    const std::wstring laterRequest = ScanRequestFor(later + L"letter.docx");
    ::Sleep(1500);
    EXPECT_FALSE(ContainsNoCase(EngineMessages(folder), laterRequest)) << "the running scan was interrupted";

    PostButtonClick(first.ScanPageControl(usrScanCleanPage::kIdCmdScanCleanBreak));
    EXPECT_TRUE(WaitUntil([&] { return ContainsNoCase(EngineMessages(folder), laterRequest); }, kRequestTimeoutMs))
        << "the handed-over path was not scanned after the cancelled scan";

    first.Boxes().Answer(texts::kExitTitle, {IDYES});
    first.Close();
    EXPECT_TRUE(first.WaitForExit(kExitTimeoutMs).has_value());
}

TEST_F(E2eTest, PathThatCannotBeScannedIsNamedToTheUser) {
    const StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    const std::wstring missing = Root() + L"no such folder";
    const std::wstring quoted = L"\"" + DocumentFolder(Root(), L"my docs") + L"\"";

    // At the first start the window says it and stays where it is.
    DrosselRun first(folder, L"/sf " + quoted);
    ASSERT_NO_FATAL_FAILURE(StartReady(first));
    ASSERT_TRUE(first.Boxes().WaitForBoxes(texts::kProgramTitle, 1, kBoxTimeoutMs)) << "no message for a quoted path";
    const std::wstring quotedText = texts::kScanPathMissing + std::wstring(L"\r\n") + tessaly::ToLowerText(quoted) + L"\r\n" +
                                    texts::kScanPathQuotedHint;
    EXPECT_EQ(first.Boxes().Seen().front().text, quotedText);
    EXPECT_TRUE(HasVisibleStyle(first.PageFrame(0)));

    // A second start with a missing path says it itself and hands nothing over.
    DrosselRun second(folder, L"/sf " + missing);
    ASSERT_TRUE(second.Boxes().WaitForBoxes(texts::kProgramTitle, 1, kBoxTimeoutMs)) << "no message for a missing path";
    EXPECT_EQ(second.Boxes().Seen().front().text, texts::kScanPathMissing + std::wstring(L"\r\n") + tessaly::ToLowerText(missing));
    EXPECT_TRUE(second.WaitForExit(kExitTimeoutMs).has_value());
    ::Sleep(1500);
    EXPECT_TRUE(HasVisibleStyle(first.PageFrame(0)));
    EXPECT_FALSE(FileExists(CommonDataFile(texts::kScanLog)));
    for (const std::wstring& message : EngineMessages(folder))
        EXPECT_NE(message.rfind(L"SCAN::", 0), 0u) << ::testing::PrintToString(message);
    EXPECT_EQ(first.Boxes().Seen().size(), 1u);
    first.Close();
    EXPECT_TRUE(first.WaitForExit(kExitTimeoutMs).has_value());
}

}  // namespace e2e
