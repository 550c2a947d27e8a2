// The page against the real zdvcore.exe of the staged program folder: the sample documents scanned
// end to end give the expected counters, rows and log; "立即处理" backs up, cleans, and the backup
// restores the original bytes.
#include <windows.h>

#include <algorithm>
#include <map>

#include "ClsPipeShareMem.h"
#include "ClsQuarantine.h"
#include "Samples.h"
#include "ScanPageFilters.h"
#include "ScanPageTestSupport.h"
#include "TextConvert.h"
#include "usrScanCleanPage.h"

namespace tessaly::test {
namespace {

using Page = usrScanCleanPage;

std::wstring StageFolder() {
    wchar_t exe[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder = exe;
    folder.resize(folder.rfind(L'\\'));
    folder.resize(folder.rfind(L'\\') + 1);
    return folder + L"stage\\";
}

int WINAPI NoMessageBox(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }

std::wstring TextOf(HWND control) {
    wchar_t buffer[256]{};
    ::GetWindowTextW(control, buffer, 256);
    return buffer;
}

class RealEnginePageTest : public ScanPageFolderTest {
protected:
    void SetUp() override {
        ScanPageFolderTest::SetUp();
        ClsPipeShareMem::SetMessageBoxFunction(&NoMessageBox);
        link = std::make_unique<ClsPipeShareMem>(StageFolder());
        ASSERT_TRUE(link->ConnectPipeServer(false, 1000)) << "staged engine did not start";
        host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(page.Create(host, 0, 0));
        page.SetPipeMemObject(link.get());
        page.RequestOptions().polls = 4000;
        page.RequestOptions().pollSleepMs = 5;
        page.SetMessageBoxHook([](HWND, const std::wstring&, const std::wstring&, UINT) { return IDYES; });
        for (const fixtures::Sample& sample : fixtures::StandardSamples()) {
            const std::wstring name = Utf8ToWide(sample.fileName);
            WriteFile(L"samples\\" + name, std::string(sample.bytes.begin(), sample.bytes.end()));
            samples[name] = sample;
        }
    }
    void TearDown() override {
        if (host) ::DestroyWindow(host);
        if (link) {
            link->PostPipeServerExitMessage(100, 100);
            link->UninitPipe();
        }
        ScanPageFolderTest::TearDown();
    }
    std::wstring Counter(int i) const { return TextOf(page.Control(Page::kIdLblResultCountShow0 + i)); }

    std::unique_ptr<ClsPipeShareMem> link;
    HWND host = nullptr;
    Page page;
    std::map<std::wstring, fixtures::Sample> samples;
};

TEST_F(RealEnginePageTest, SampleFolderScannedAndCleanedEndToEnd) {
    std::map<int, int> expected;
    std::size_t sent = 0;
    for (const auto& [name, sample] : samples) {
        if (CheckScanCandidate(Path(L"samples\\" + name), false) != ScanFileVerdict::Send) continue;
        ++sent;
        ++expected[sample.expectedScanCode];
    }
    ASSERT_GT(expected[2], 0);
    EXPECT_FALSE(samples.count(L"not-office.doc") &&
                 CheckScanCandidate(Path(L"samples\\not-office.doc"), false) == ScanFileVerdict::Send);

    page.ScanDirOrFiles(Path(L"samples"), false);
    const ScanResults& results = page.Work().Results;
    EXPECT_EQ(results.TotalCount, static_cast<std::int32_t>(samples.size()));
    EXPECT_EQ(results.VirusCount, expected[2]);
    EXPECT_EQ(results.SuspectedCount, expected[50]);
    EXPECT_EQ(results.EncryptedCount, expected[51]);
    EXPECT_EQ(results.BadDocFileCount, expected[52]);
    EXPECT_EQ(Counter(1), std::to_wstring(expected[2]));
    EXPECT_EQ(page.ResultList().ListCount(), expected[2]);  // no engine errors, one row per virus
    const std::string log = ReadBytes(Path(L"programdata\\Tessaly\\scan.log"));
    for (const InfectedFileRecord& record : results.InfectedFiles)
        EXPECT_NE(log.find(WideToAnsi(record.VirusName + L"    " + record.Path)), std::string::npos);

    const std::vector<InfectedFileRecord> infected = results.InfectedFiles;
    std::map<std::wstring, std::string> before;
    for (const InfectedFileRecord& record : infected) before[record.Path] = ReadBytes(record.Path);
    ::SendMessageW(page.Window(), WM_COMMAND, MAKEWPARAM(Page::kIdCmdJustClean, BN_CLICKED), 0);
    EXPECT_EQ(results.CleanedCount + results.CleanFailedCount, expected[2]);
    EXPECT_GT(results.CleanedCount, 0);
    EXPECT_EQ(TextOf(page.Control(Page::kIdLblScanPath)), L"处理完成");
    EXPECT_EQ(Counter(2), std::to_wstring(results.CleanedCount));
    // A document the engine will not clean keeps its bytes and says why in its row.
    std::wstring victim;
    for (const InfectedFileRecord& record : infected) {
        const bool failed = std::find(results.CleanFailedFiles.begin(), results.CleanFailedFiles.end(),
                                      record.Path) != results.CleanFailedFiles.end();
        const std::wstring row = page.ResultList().List(record.RowIndex);
        if (failed) {
            EXPECT_TRUE(row.starts_with(L"修复失败,错误信息:")) << WideToUtf8(row);
            EXPECT_EQ(ReadBytes(record.Path), before[record.Path]);
        } else {
            EXPECT_EQ(row, record.Path);
            EXPECT_NE(ReadBytes(record.Path), before[record.Path]);
            if (victim.empty()) victim = record.Path;
        }
    }
    ASSERT_FALSE(victim.empty());
    const std::string original = before[victim];

    // Every cleaned document has its backup, and the backup gives the original bytes back.
    ClsQuarantine store;
    std::vector<std::wstring> records;
    ASSERT_TRUE(store.GetRecords(records));
    EXPECT_EQ(records.size(), static_cast<std::size_t>(expected[2]));
    std::wstring failed;
    ASSERT_TRUE(store.RestoreQuarantineFiles({victim}, failed)) << WideToUtf8(failed);
    EXPECT_EQ(ReadBytes(victim), original);

    const std::int32_t cleaned = results.CleanedCount;
    // A second scan of the cleaned documents finds only the restored one and those the engine refused.
    page.ScanDirOrFiles(Path(L"samples"), false);
    EXPECT_EQ(page.Work().Results.VirusCount, 1 + static_cast<std::int32_t>(before.size()) - cleaned);
}

}  // namespace
}  // namespace tessaly::test
