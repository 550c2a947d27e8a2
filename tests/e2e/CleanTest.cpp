// "立即处理" in the real program against the real engine, with infected documents made by the
// fixture code: a path that a later start hands over while results wait is scanned only once the
// user has left the clean's outcome, and a program killed in the middle of a clean leaves every
// document it cleaned with its record and its stored copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ClsQuarantine.h"
#include "ClsQuarantineIndex.h"
#include "ClsQuarantineXor.h"
#include "DrosselRun.h"
#include "E2eTest.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "Samples.h"
#include "TextCompare.h"
#include "TextFiles.h"
#include "UserTexts.h"
#include "frmMain.h"
#include "usrScanCleanPage.h"

namespace e2e {
namespace {

using tessaly::usrScanCleanPage;

constexpr DWORD kCleanTimeoutMs = 60000;

struct Document {
    std::wstring path;
    std::string bytes;
};

std::vector<Document> WriteInfected(const std::wstring& folder, int count) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<Document> documents;
    for (int i = 0; i < count; ++i) {
        const tessaly::fixtures::ByteVec bytes = tessaly::fixtures::InfectedWordDocument(static_cast<unsigned>(i));
        documents.push_back({folder + L"infected" + std::to_wstring(i) + L".doc", std::string(bytes.begin(), bytes.end())});
        WriteBytes(documents.back().path, documents.back().bytes);
    }
    return documents;
}

std::string Unscrambled(std::string bytes) {
    for (char& c : bytes) c = static_cast<char>(c ^ tessaly::quarantine::kScrambleKey);
    return bytes;
}

class CleanTest : public E2eTest {
protected:
    // drossel.exe "/sf folder" with the staged engine, its scan ended and its viruses counted.
    std::unique_ptr<DrosselRun> ScanInfected(const std::wstring& folder, int viruses) {
        m_stage = &Stage(Engine::kStaged);
        EXPECT_TRUE(m_stage->Ready()) << ::testing::PrintToString(m_stage->Problem());
        auto run = std::make_unique<DrosselRun>(*m_stage, L"/sf " + folder);
        if (!run->WaitUntilReady(kStartTimeoutMs) || !run->WaitForScanEnd(kScanTimeoutMs)) {
            ADD_FAILURE() << "the scan of " << ::testing::PrintToString(folder) << " did not end";
            return nullptr;
        }
        EXPECT_EQ(run->Counter(1), std::to_wstring(viruses));
        return run;
    }
    static std::wstring ScanPath(const DrosselRun& run) {
        return ControlText(run.ScanPageControl(usrScanCleanPage::kIdLblScanPath));
    }

    const StagedProgramFolder* m_stage = nullptr;
};

}  // namespace

TEST_F(CleanTest, PathHandedOverWhileResultsWaitIsScannedOnlyAfterTheUserLeavesTheClean) {
    const std::wstring infected = Root() + L"infected\\";
    WriteInfected(infected, 2);
    const std::wstring later = Root() + L"later\\";
    ::CreateDirectoryW(later.c_str(), nullptr);
    WriteBytes(later + L"letter.docx", std::string(200, 'x'));
    const auto run = ScanInfected(infected, 2);
    ASSERT_TRUE(run);

    DrosselRun second(*m_stage, L"/sf " + later);
    EXPECT_EQ(second.WaitForExit(kExitTimeoutMs).value_or(1234), 0u) << "the path was not taken";

    PostButtonClick(run->ScanPageControl(usrScanCleanPage::kIdCmdJustClean));
    ASSERT_TRUE(WaitUntil([&] { return ScanPath(*run) == texts::kCleanFinished; }, kCleanTimeoutMs));
    // The window looks for waiting requests now, as its timer would.
    ::PostMessageW(run->Window(), WM_TIMER, tessaly::frmMain::kTimerHandOver, 0);
    ::Sleep(1500);
    EXPECT_EQ(ScanPath(*run), texts::kCleanFinished) << "the outcome of the clean was wiped unseen";
    EXPECT_EQ(run->Counter(2), L"2");
    EXPECT_TRUE(HasVisibleStyle(run->ScanPageControl(usrScanCleanPage::kIdCmdShowQuarantines)));

    PostButtonClick(run->ScanPageControl(usrScanCleanPage::kIdCmdBackToScanPage));
    EXPECT_TRUE(run->WaitForScanEnd(kScanTimeoutMs)) << "the handed-over path was not scanned after 返回";
    EXPECT_EQ(run->Counter(0), L"1");
    EXPECT_TRUE(run->Boxes().Seen().empty());
    run->Close();
    EXPECT_TRUE(run->WaitForExit(kExitTimeoutMs).has_value());
}

TEST_F(CleanTest, KillInTheMiddleOfACleanLeavesEveryCleanedDocumentWithItsRecordAndCopy) {
    const std::wstring folder = Root() + L"many\\";
    const std::vector<Document> documents = WriteInfected(folder, 40);
    const auto run = ScanInfected(folder, 40);
    ASSERT_TRUE(run);
    PostButtonClick(run->ScanPageControl(usrScanCleanPage::kIdCmdJustClean));
    ASSERT_TRUE(WaitUntil([&] { return std::stoi(L"0" + run->Counter(2)) >= 8; }, kCleanTimeoutMs, 5));
    {
        tessaly::unique_kernel_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, run->Id()));
        ASSERT_TRUE(process && ::TerminateProcess(process.get(), 9));
    }
    ASSERT_TRUE(run->WaitForExit(kExitTimeoutMs).has_value());

    std::vector<tessaly::QuarantineRecord> records;
    ASSERT_TRUE(tessaly::quarantine::ReadIndexFile(CommonDataFile(L"Quarantine.dat"), records));
    const auto lines = ReadAnsiLines(CommonDataFile(L"Quarantine.dat")).value_or(std::vector<std::wstring>{});
    EXPECT_EQ(lines.size(), records.size()) << "a line of the index is torn";
    int cleaned = 0;
    for (const Document& document : documents) {
        if (ReadBytes(document.path) == document.bytes) continue;
        ++cleaned;
        const auto record = std::find_if(records.begin(), records.end(),
                                         [&](const auto& r) { return SameNoCase(r.SourcePath, document.path); });
        ASSERT_NE(record, records.end()) << "no record of the cleaned " << ::testing::PrintToString(document.path);
        const std::wstring copy = CommonDataFile(L"Quarantines\\" + record->StoredHash);
        EXPECT_EQ(Unscrambled(ReadBytes(copy).value_or("")), document.bytes) << ::testing::PrintToString(copy);
    }
    EXPECT_GE(cleaned, 8);
    EXPECT_LT(cleaned, 40) << "the kill came too late to land in the middle";

    // The lock went with the killed program: the guard's next backup goes in.
    tessaly::ClsQuarantine store;
    EXPECT_TRUE(store.QuarantineFile(documents.back().path)) << ::testing::PrintToString(store.LastErrMsg());
}

}  // namespace e2e
