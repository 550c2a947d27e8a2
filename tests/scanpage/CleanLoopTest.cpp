// The clean road's loop: backup before every clean request, rates, rows and counters.
#include "ScanPageTestSupport.h"

#include <algorithm>
#include <stdexcept>

namespace tessaly::test {
namespace {

class CleanLoopTest : public ScanPageFolderTest {
protected:
    void SetUp() override {
        ScanPageFolderTest::SetUp();
        work.SetEngineLink(&link);
        work.RequestOptions() = QuickRequestOptions();
    }
    void AddInfected(const std::wstring& relative, bool create = true) {
        if (create) WriteFile(relative, FileBytes(Ole2Header(), 200));
        const std::wstring path = Path(relative);
        const long row = view.AddRow(path, L"W97M.Test", 1);
        work.Results.InfectedFiles.push_back(InfectedFileRecord{path, L"W97M.Test", row});
        ++work.Results.VirusCount;
    }
    BackupFunction RecordingBackup(bool result) {
        return [this, result](const std::wstring& path) {
            backups.push_back(path);
            EXPECT_EQ(std::count_if(link.sent.begin(), link.sent.end(),
                                    [&](const std::wstring& m) { return m.starts_with(L"CLEAN::"); }),
                      static_cast<long>(backups.size()) - 1)
                << "a clean request went out before its backup";
            return result;
        };
    }

    RecordingView view;
    std::vector<std::wstring> backups;
    std::vector<std::wstring> responses;
    ScriptedLink link{ReplyByName([](const std::wstring&) { return std::wstring(L"0::"); })};
    ScanPageWork work{view};
};

TEST_F(CleanLoopTest, ThreeDocumentsShowRatesAndAreBackedUpThenCleaned) {
    AddInfected(L"a.doc");
    AddInfected(L"b.doc");
    AddInfected(L"c.doc");
    EXPECT_EQ(work.RunCleanLoop(RecordingBackup(true)), CleanRunEnd::Finished);
    EXPECT_EQ(view.rates, (std::vector<std::wstring>{L"0%", L"50%", L"100%"}));
    EXPECT_EQ(backups.size(), 3u);
    EXPECT_EQ(work.Results.CleanedCount, 3);
    EXPECT_EQ(view.counters[kCounterCleaned], 3);
    EXPECT_EQ(view.rows[2].tag, L"修复成功");
    EXPECT_EQ(view.rows[2].color, 4);
}

TEST_F(CleanLoopTest, MissingDocumentAndFailedBackupAreNeverSentToTheEngine) {
    AddInfected(L"gone.doc", false);
    AddInfected(L"nobackup.doc");
    EXPECT_EQ(work.RunCleanLoop(RecordingBackup(false)), CleanRunEnd::Finished);
    EXPECT_EQ(view.rates, (std::vector<std::wstring>{L"0%", L"100%"}));
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(view.rows[0].text, L"读取失败    " + Path(L"gone.doc"));
    EXPECT_EQ(view.rows[1].text, L"备份失败    " + Path(L"nobackup.doc"));
    EXPECT_EQ(view.rows[1].tag, L"W97M.Test");
    EXPECT_EQ(work.Results.CleanFailedCount, 2);
    EXPECT_EQ(view.counters[kCounterCleanFailed], 2);
    EXPECT_EQ(work.Results.CleanFailedFiles, (std::vector<std::wstring>{Path(L"gone.doc"), Path(L"nobackup.doc")}));
}

TEST_F(CleanLoopTest, CancelLeftSetEndsAfterTheFirstRequestWithoutRowChange) {
    AddInfected(L"a.doc");
    AddInfected(L"b.doc");
    work.BreakScanClean = true;
    EXPECT_EQ(work.RunCleanLoop(RecordingBackup(true)), CleanRunEnd::Finished);
    EXPECT_EQ(backups.size(), 1u);
    EXPECT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(view.rows[0].text, Path(L"a.doc"));
    EXPECT_EQ(work.Results.CleanedCount + work.Results.CleanFailedCount, 0);
}

TEST_F(CleanLoopTest, EngineExitUnloadsTheForm) {
    AddInfected(L"a.doc");
    ScriptedLink leaving([](const std::wstring&) { return std::vector<std::wstring>{L"SERVER::EXIT"}; });
    work.SetEngineLink(&leaving);
    EXPECT_EQ(work.RunCleanLoop(RecordingBackup(true)), CleanRunEnd::EngineExit);
    EXPECT_EQ(view.unloads, 1);
}

TEST_F(CleanLoopTest, NoReplyAndStoreFaultCountAsFailures) {
    AddInfected(L"a.doc");
    AddInfected(L"b.doc");
    ScriptedLink silent(nullptr);
    work.SetEngineLink(&silent);
    int calls = 0;
    auto backup = [&](const std::wstring&) -> bool {
        if (++calls == 2) throw std::runtime_error("store");
        return true;
    };
    EXPECT_EQ(work.RunCleanLoop(backup), CleanRunEnd::Finished);
    EXPECT_EQ(view.rows[0].text, L"修复失败    " + Path(L"a.doc"));
    EXPECT_EQ(work.Results.CleanFailedCount, 1);  // the fault ended the loop at b.doc
}

}  // namespace
}  // namespace tessaly::test
