// Scan and clean replies as the user sees them: rows, counters, lists, records and log lines.
#include "ScanPageReplies.h"
#include "ScanPageTestSupport.h"

namespace tessaly::test {
namespace {

class ScanReplyTest : public ::testing::Test {
protected:
    RecordingView view;
    ScanResults results;
};

TEST_F(ScanReplyTest, InfectedReplyGivesCounterRowRecordAndLogLine) {
    view.AddRow(L"earlier", L"x", 5);
    HandleScanReply(L"R_SCAN::2::Macro.Melissa::C:/a/b.doc", results, view);
    EXPECT_EQ(results.VirusCount, 1);
    EXPECT_EQ(view.counters[kCounterVirus], 1);
    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[1].text, L"C:\\a\\b.doc");
    EXPECT_EQ(view.rows[1].tag, L"Macro.Melissa");
    EXPECT_EQ(view.rows[1].color, 1);
    ASSERT_EQ(results.InfectedFiles.size(), 1u);
    EXPECT_EQ(results.InfectedFiles[0].Path, L"C:\\a\\b.doc");
    EXPECT_EQ(results.InfectedFiles[0].VirusName, L"Macro.Melissa");
    EXPECT_EQ(results.InfectedFiles[0].RowIndex, 1);
    ASSERT_EQ(view.logLines.size(), 1u);
    EXPECT_EQ(view.logLines[0], L"Macro.Melissa    C:\\a\\b.doc");
}

TEST_F(ScanReplyTest, SuspectedEncryptedDamagedCountEveryReplyListPathsOnce) {
    HandleScanReply(L"R_SCAN::50::macro::C:/s.doc", results, view);
    HandleScanReply(L"R_SCAN::50::macro::c:/S.DOC", results, view);
    HandleScanReply(L"R_SCAN::51::::C:/e.docx", results, view);
    HandleScanReply(L"R_SCAN::52::::C:/d.xls\r\n", results, view);
    EXPECT_EQ(results.SuspectedCount, 2);
    EXPECT_EQ(results.SuspectedFiles, std::vector<std::wstring>{L"C:\\s.doc"});
    EXPECT_EQ(view.counters[kCounterSuspected], 2);
    EXPECT_EQ(results.EncryptedFiles, std::vector<std::wstring>{L"C:\\e.docx"});
    EXPECT_EQ(view.counters[kCounterEncrypted], 1);
    EXPECT_EQ(results.BadDocFiles, std::vector<std::wstring>{L"C:\\d.xls"});
    EXPECT_EQ(view.counters[kCounterBadDoc], 1);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(view.logLines, (std::vector<std::wstring>{L"可疑    C:\\s.doc", L"可疑    c:\\S.DOC"}));
}

TEST_F(ScanReplyTest, EngineErrorAndOddShapes) {
    HandleScanReply(L"R_SCAN::-1::boom::C:/x.doc", results, view);
    HandleScanReply(L"R_SCAN::2::Virus::Name::C:/x.doc", results, view);  // five parts
    HandleScanReply(L"R_SCAN::X::text::C:/x.doc", results, view);         // a letter as code
    HandleScanReply(L"", results, view);
    HandleScanReply(L"R_SCAN::0::::C:/clean.doc", results, view);
    HandleScanReply(L"R_SCAN::7::::C:/other.doc", results, view);
    ASSERT_EQ(view.rows.size(), 4u);
    EXPECT_EQ(view.rows[0].text, L"R_SCAN::-1::boom::C:/x.doc");
    EXPECT_EQ(view.rows[0].tag, L"未知错误");
    EXPECT_EQ(view.rows[0].color, 5);
    EXPECT_EQ(view.rows[1].tag, L"未知错误");
    EXPECT_EQ(view.rows[1].color, 5);
    EXPECT_EQ(view.rows[2].text, L"R_SCAN::X::text::C:/x.doc");
    EXPECT_EQ(view.rows[2].tag, L"异常错误");
    EXPECT_EQ(view.rows[2].color, 2);
    EXPECT_EQ(view.rows[3].text, L"");
    EXPECT_EQ(view.rows[3].tag, L"未知错误");
    EXPECT_EQ(results.VirusCount, 0);
    EXPECT_TRUE(view.logLines.empty());
}

TEST(ReplyCodeTest, WholeNumbersOnly) {
    EXPECT_EQ(ParseReplyCode(L"2"), 2);
    EXPECT_EQ(ParseReplyCode(L" -1 "), -1);
    EXPECT_FALSE(ParseReplyCode(L""));
    EXPECT_FALSE(ParseReplyCode(L"2a"));
    EXPECT_FALSE(ParseReplyCode(L"99999999999"));
    EXPECT_FALSE(ParseReplyCode(L"-"));
}

TEST(RequestTextTest, PathsTravelWithForwardSlashes) {
    EXPECT_EQ(EngineRequestText(L"C:\\a\\b.doc", false), L"SCAN::C:/a/b.doc");
    EXPECT_EQ(EngineRequestText(L"C:\\a\\b.doc", true), L"CLEAN::C:/a/b.doc");
    EXPECT_EQ(SplitReply(L"a::b::::c").size(), 4u);
}

class CleanReplyTest : public ::testing::Test {
protected:
    void SetUp() override { record = InfectedFileRecord{L"C:\\docs\\a.doc", L"V", view.AddRow(L"C:\\docs\\a.doc", L"V", 1)}; }
    RecordingView view;
    InfectedFileRecord record;
};

TEST_F(CleanReplyTest, RepairedDocumentGetsTheGreenTag) {
    EXPECT_TRUE(HandleCleanReply(L"R_CLEAN::1::ok::C:/docs/a.doc", record, view));
    EXPECT_EQ(view.rows[0].text, L"C:\\docs\\a.doc");
    EXPECT_EQ(view.rows[0].tag, L"修复成功");
    EXPECT_EQ(view.rows[0].color, 4);
}

TEST_F(CleanReplyTest, FailuresKeepTheTagAndSayWhy) {
    EXPECT_FALSE(HandleCleanReply(L"R_CLEAN::3::locked::C:/a.doc", record, view));
    EXPECT_EQ(view.rows[0].text, L"修复失败,错误信息:locked    C:\\a.doc");
    EXPECT_EQ(view.rows[0].tag, L"V");
    EXPECT_EQ(view.rows[0].color, 1);
    EXPECT_FALSE(HandleCleanReply(L"R_CLEAN::x::y::C:/a.doc", record, view));  // not a number: code 0
    EXPECT_EQ(view.rows[0].text, L"修复失败,错误信息:y    C:\\a.doc");
    EXPECT_FALSE(HandleCleanReply(L"R_CLEAN::1::ok", record, view));
    EXPECT_EQ(view.rows[0].text, L"修复失败    C:\\docs\\a.doc");
}

}  // namespace
}  // namespace tessaly::test
