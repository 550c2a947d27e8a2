// The statistics message: its text and when it goes out.
#include <algorithm>

#include "EngineLinkMessages.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"
#include "ScanPageFeedback.h"
#include "ScanPageTestSupport.h"

namespace tessaly::test {
namespace {

TEST(FeedbackTextTest, QuickScanWithoutVirusMatchesTheDocumentedExample) {
    ScanResults results;
    results.TotalCount = 340;
    results.SuspectedCount = 1;
    EXPECT_EQ(BuildScanFeedbackText(ScanFeedbackFacts{L"1.0.5", 2, 12, 7}, results),
              L"AppVer=1.0.5&DataType=1&FromSource=2&ScanUsedTime=12&TotalCount=340&VirusCount=0&CleanedCount=0&"
              L"SuspectedCount=1&EncryptedCount=0&CleanFailedCount=0&BadDocFileCount=0");
}

TEST(FeedbackTextTest, VirusNamesLoseTheirCommasAndRepeat) {
    ScanResults results;
    results.VirusCount = 2;
    results.InfectedFiles = {{L"C:\\a.doc", L"W97M,Thus", 0}, {L"C:\\b.doc", L"W97M,Thus", 1}};
    const std::wstring text = BuildScanFeedbackText(ScanFeedbackFacts{L"a&b=c", 1, 3, 4}, results);
    EXPECT_TRUE(text.starts_with(L"AppVer=a&b=c&"));
    EXPECT_TRUE(text.ends_with(L"&BadDocFileCount=0&CleanUsedTime=4&VirusNameList=W97MThus,W97MThus")) << text.c_str();
}

TEST(FeedbackGateTest, WholeNumberPartDecides) {
    EXPECT_TRUE(IsCloudFeedbackOn(L"1"));
    EXPECT_TRUE(IsCloudFeedbackOn(L" 2.5"));
    EXPECT_FALSE(IsCloudFeedbackOn(L"0"));
    EXPECT_FALSE(IsCloudFeedbackOn(L"0.9"));
    EXPECT_FALSE(IsCloudFeedbackOn(L"abc"));
    EXPECT_FALSE(IsCloudFeedbackOn(L""));
}

class FeedbackSendTest : public ScanPageFolderTest {
protected:
    void SetUp() override {
        ScanPageFolderTest::SetUp();
        work.ConfigPath = Path(L"config.dat");
        work.AppVersion = L"1.0.5";
        work.SetEngineLink(&link);
    }
    RecordingView view;
    ScriptedLink link{nullptr};
    ScanPageWork work{view};
};

TEST_F(FeedbackSendTest, SentByDefaultAndMarked) {
    EXPECT_TRUE(work.SendScanFeedback());
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_TRUE(link.sent[0].starts_with(L"FEEDBACK::AppVer=1.0.5&DataType=1&"));
    EXPECT_TRUE(work.FeedbackSent);
}

TEST_F(FeedbackSendTest, SwitchedOffByZeroOrText) {
    for (const wchar_t* value : {L"0", L"abc"}) {
        WriteIniString(work.ConfigPath, ini::kAppSetting, ini::kCloudFeedBack, value);
        EXPECT_FALSE(work.SendScanFeedback());
    }
    EXPECT_TRUE(link.sent.empty());
    EXPECT_FALSE(work.FeedbackSent);
}

// The program's error log of this test run.
std::wstring ErrorLog() {
    std::wstring text;
    clsUTF8TextFile().ReadFromUTF8File(GetCommonDataFolder() + ProgramErrLogName() + L".err", text);
    return text;
}

// A scan with many viruses: the name list is cut at a whole name so that the message fits the link.
TEST_F(FeedbackSendTest, ManyVirusNamesAreCutAtAWholeNameToFitTheLink) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 600; ++i) {
        names.push_back(L"W97M.宏病毒.Family" + std::to_wstring(i * 7919));
        work.Results.InfectedFiles.push_back({L"C:\\d\\" + std::to_wstring(i) + L".doc", names.back(), i});
    }
    work.Results.VirusCount = 600;
    EXPECT_TRUE(work.SendScanFeedback());
    ASSERT_EQ(link.sent.size(), 1u);
    const std::wstring& message = link.sent[0];
    EXPECT_LE(Utf8Size(message), kMessageTextLimit);
    const std::size_t at = message.find(L"&VirusNameList=");
    ASSERT_NE(at, std::wstring::npos);
    std::vector<std::wstring> listed;
    for (std::size_t from = at + 15, comma; from <= message.size(); from = comma + 1) {
        comma = std::min(message.find(L',', from), message.size());
        listed.push_back(message.substr(from, comma - from));
    }
    ASSERT_GT(listed.size(), 10u);
    ASSERT_LT(listed.size(), names.size());
    EXPECT_TRUE(std::equal(listed.begin(), listed.end(), names.begin())) << "no run of whole names from the first";
    EXPECT_EQ(ErrorLog().find(L"statistics message"), std::wstring::npos);
}

TEST_F(FeedbackSendTest, MessageThatCannotGoIsLoggedWithItsReason) {
    work.AppVersion = std::wstring(5000, L'9');
    EXPECT_TRUE(work.SendScanFeedback());
    EXPECT_TRUE(link.sent.empty());
    EXPECT_TRUE(work.FeedbackSent);  // as after any message handed on
    EXPECT_NE(ErrorLog().find(L"does not fit the engine link's 4095 even without virus names"), std::wstring::npos);

    work.AppVersion = L"1.0.5";
    link.acceptSends = false;
    EXPECT_TRUE(work.SendScanFeedback());
    EXPECT_NE(ErrorLog().find(L"the engine did not take the statistics message"), std::wstring::npos);
}

}  // namespace
}  // namespace tessaly::test
