// The scan log's bytes on disk: code page 936, CR LF, the summary block in its order.
#include "ScanPageLog.h"
#include "ScanPageTestSupport.h"
#include "TextConvert.h"

#include <windows.h>

namespace tessaly::test {
namespace {

class ScanLogTest : public ScanPageFolderTest {};

TEST_F(ScanLogTest, LinesAreCodePageTextWithCrLf) {
    const std::wstring log = Path(L"scan.log");
    ASSERT_TRUE(WriteScanLog(log, L"可疑    C:\\a.doc"));
    ASSERT_TRUE(WriteScanLog(log, L""));
    ASSERT_TRUE(WriteScanLog(log, L"W97M.X    C:\\b.doc"));
    // 可 = BF C9, 疑 = D2 C9 in code page 936.
    const std::string expected = "\xBF\xC9\xD2\xC9    C:\\a.doc\r\nW97M.X    C:\\b.doc\r\n";
    EXPECT_EQ(ReadBytes(log), expected);
    ReinitScanLog(log);
    EXPECT_EQ(::GetFileAttributesW(log.c_str()), INVALID_FILE_ATTRIBUTES);
    ReinitScanLog(log);  // a missing log is no fault
}

TEST_F(ScanLogTest, SummaryBlockAfterTheFindings) {
    RecordingView view;
    ScanPageWork work(view);
    work.LogPath = Path(L"scan.log");
    work.AppVersion = L"1.0.5";
    work.Results.TotalCount = 340;
    work.Results.VirusCount = 2;
    work.Results.SuspectedCount = 1;
    WriteScanLog(work.LogPath, L"finding");
    work.WriteSummaryToLog();
    const std::string bytes = ReadBytes(work.LogPath);
    const std::string date = WideToAnsi(CurrentScanDateText()).substr(0, 4);
    EXPECT_EQ(bytes.rfind("finding\r\n**********", 0), 0u);
    EXPECT_NE(bytes.find("\xC9\xA8\xC3\xE8\xCE\xC4\xBC\xFE\xCA\xFD:340\r\n"), std::string::npos);  // 扫描文件数:
    EXPECT_NE(bytes.find("\xB2\xA1\xB6\xBE\xCA\xFD:2\r\n"), std::string::npos);                      // 病毒数:
    EXPECT_NE(bytes.find(":1\r\n"), std::string::npos);
    EXPECT_TRUE(bytes.ends_with("1.0.5\r\n"));
    EXPECT_NE(bytes.find(date), std::string::npos);
    const std::vector<std::wstring> lines = ScanSummaryLines(ScanSummary{L"D", 1, 2, 3, L"V"});
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"**********扫描结果**********", L"扫描日期:D", L"扫描文件数:1",
                                                L"病毒数:2", L"可疑文件数:3", L"程序版本:V"}));
}

}  // namespace
}  // namespace tessaly::test
