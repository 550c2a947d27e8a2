// The statistics message: its text and when it goes out.
#include "IniOperation.h"
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

}  // namespace
}  // namespace tessaly::test
