// The page window end to end against a scripted engine: what the user sees after a scan, the
// clean road with a real quarantine backup before every clean request, leaving the result view.
#include <windows.h>

#include <algorithm>
#include <array>

#include "ClsQuarantine.h"
#include "IniOperation.h"
#include "ScanPageTestSupport.h"
#include "ScanPageWorkPace.h"
#include "ScanPageWorkState.h"
#include "TextConvert.h"
#include "usrScanCleanPage.h"

namespace tessaly::test {
namespace {

using Page = usrScanCleanPage;

std::wstring TextOf(HWND control) {
    wchar_t buffer[1024]{};
    ::GetWindowTextW(control, buffer, 1024);
    return buffer;
}

bool Visible(HWND control) { return control && (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

bool HasRecord(const std::wstring& path) {
    ClsQuarantine store;
    std::vector<std::wstring> records;
    store.GetRecords(records);
    return std::any_of(records.begin(), records.end(), [&](const std::wstring& r) { return r.ends_with(L"::" + path); });
}

class PageTest : public ScanPageFolderTest {
protected:
    void SetUp() override {
        ScanPageFolderTest::SetUp();
        host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        ASSERT_TRUE(page.Create(host, 0, 0));
        page.SetEngineLink(&link);
        RequestEngineOptions& options = page.RequestOptions();
        options.polls = 20;
        options.pollSleepMs = 0;
        page.SetMessageBoxHook([this](HWND, const std::wstring& text, const std::wstring&, UINT) {
            questions.push_back(text);
            return answer;
        });
        WriteFile(L"docs\\a.doc", FileBytes(Ole2Header(), 300));
        WriteFile(L"docs\\b.docx", FileBytes(ZipHeader(), 300));
        WriteFile(L"docs\\c.xls", FileBytes(Ole2Header(), 300));
        WriteFile(L"docs\\d.docx", FileBytes(ZipHeader(), 300));
        WriteFile(L"docs\\notes.txt", FileBytes("text", 300));
    }
    void TearDown() override {
        if (host) ::DestroyWindow(host);
        ScanPageFolderTest::TearDown();
    }
    std::wstring Counter(int i) const { return TextOf(page.Control(Page::kIdLblResultCountShow0 + i)); }
    void Click(int id) { ::SendMessageW(page.Window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    std::vector<std::wstring> Sent(const std::wstring& prefix) const {
        std::vector<std::wstring> found;
        for (const std::wstring& m : link.sent)
            if (m.starts_with(prefix)) found.push_back(m);
        return found;
    }

    static std::vector<std::wstring> Engine(const std::wstring& request, bool& backedUpBeforeClean) {
        if (request.starts_with(L"CLEAN::")) {
            std::wstring path = request.substr(7);
            std::wstring local = path;
            std::replace(local.begin(), local.end(), L'/', L'\\');
            backedUpBeforeClean = HasRecord(local);
            return {L"R_CLEAN::1::ok::" + path};
        }
        if (!request.starts_with(L"SCAN::")) return {};
        const std::wstring path = request.substr(6);
        std::wstring code = L"0::";
        if (path.ends_with(L"a.doc")) code = L"2::W97M.Thus";
        if (path.ends_with(L"b.docx")) code = L"50::macro";
        if (path.ends_with(L"c.xls")) code = L"51::";
        return {L"SERVER::IDLE::0", L"R_SCAN::" + code + L"::" + path};
    }

    HWND host = nullptr;
    bool backedUp = false;
    ScriptedLink link{[this](const std::wstring& request) { return Engine(request, backedUp); }};
    Page page;
    std::vector<std::wstring> questions;
    int answer = IDYES;
};

TEST_F(PageTest, FolderScanShowsCountersRowsButtonsAndLog) {
    page.ScanSoureID(4);
    page.ScanDirOrFiles(Path(L"docs"), false);
    EXPECT_EQ(Counter(0), L"5");
    EXPECT_EQ(Counter(1), L"1");
    EXPECT_EQ(Counter(3), L"1");
    EXPECT_EQ(Counter(4), L"1");
    EXPECT_EQ(Counter(5), L"0");
    EXPECT_EQ(Sent(L"SCAN::").size(), 4u);  // the text file is counted, never sent
    ASSERT_EQ(page.ResultList().ListCount(), 1);
    EXPECT_EQ(page.ResultList().List(0), Path(L"docs\\a.doc"));
    EXPECT_EQ(page.WorkStepState(), 1);
    EXPECT_EQ(GetProgramWorkStepState(), 1);
    EXPECT_TRUE(Visible(page.Control(Page::kIdCmdJustClean)));
    EXPECT_TRUE(Visible(page.Control(Page::kIdCmdBackToScanPage)));
    EXPECT_FALSE(Visible(page.Control(Page::kIdCmdScanCleanBreak)));
    EXPECT_FALSE(Visible(page.Control(Page::kIdLblResultBarRunningTip)));
    EXPECT_TRUE(Visible(page.Control(Page::kIdFrameScanning)));
    EXPECT_EQ(TextOf(page.Control(Page::kIdLblScanPath)), L"扫描完毕");
    EXPECT_EQ(TextOf(page.Control(Page::kIdLblRate)), L"100%");
    const std::string log = ReadBytes(Path(L"programdata\\Tessaly\\scan.log"));
    EXPECT_TRUE(log.starts_with("W97M.Thus    ")) << log;
    EXPECT_NE(log.find("\xBF\xC9\xD2\xC9    "), std::string::npos);  // 可疑
    EXPECT_NE(log.find("**********"), std::string::npos);
}

TEST_F(PageTest, CleanBacksUpFirstThenCleansAndLeavesWithFeedback) {
    page.ScanDirOrFiles(Path(L"docs"), false);
    Click(Page::kIdCmdJustClean);
    EXPECT_TRUE(backedUp) << "the clean request went out before the backup was recorded";
    EXPECT_TRUE(HasRecord(Path(L"docs\\a.doc")));
    EXPECT_EQ(Counter(2), L"1");
    EXPECT_EQ(page.ResultList().List(0), Path(L"docs\\a.doc"));
    EXPECT_EQ(page.WorkStepState(), 0);
    EXPECT_EQ(TextOf(page.Control(Page::kIdLblScanPath)), L"处理完成");
    EXPECT_TRUE(Visible(page.Control(Page::kIdCmdShowQuarantines)));
    EXPECT_FALSE(Visible(page.Control(Page::kIdCmdJustClean)));
    EXPECT_EQ(TextOf(page.Control(Page::kIdCmdJustClean)), L"立即处理");

    Click(Page::kIdCmdBackToScanPage);
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(Visible(page.Control(Page::kIdFrameScanPage)));
    const std::vector<std::wstring> feedback = Sent(L"FEEDBACK::");
    ASSERT_EQ(feedback.size(), 1u);
    EXPECT_NE(feedback[0].find(L"&VirusCount=1&CleanedCount=1&"), std::wstring::npos) << feedback[0].c_str();
    EXPECT_TRUE(feedback[0].ends_with(L"&VirusNameList=W97M.Thus"));
}

TEST_F(PageTest, FailedBackupNeverSendsTheCleanRequest) {
    page.ScanDirOrFiles(Path(L"docs"), false);
    page.SetBackupFunction([](const std::wstring&) { return false; });
    Click(Page::kIdCmdJustClean);
    EXPECT_TRUE(Sent(L"CLEAN::").empty());
    EXPECT_EQ(page.ResultList().List(0), L"备份失败    " + Path(L"docs\\a.doc"));
    EXPECT_EQ(Counter(5), L"1");
}

TEST_F(PageTest, LeavingPendingVirusesAsksFirst) {
    page.ScanDirOrFiles(Path(L"docs"), false);
    answer = IDNO;
    Click(Page::kIdCmdBackToScanPage);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(questions[0].starts_with(L"继续返回吗?\r\n"));
    EXPECT_TRUE(Visible(page.Control(Page::kIdFrameScanning)));
    EXPECT_TRUE(Sent(L"FEEDBACK::").empty());
    EXPECT_EQ(page.WorkStepState(), 1);
    answer = IDYES;
    Click(Page::kIdCmdBackToScanPage);
    EXPECT_EQ(page.WorkStepState(), 0);
    EXPECT_EQ(Sent(L"FEEDBACK::").size(), 1u);

    page.SilentScanClean(true);
    page.ScanDirOrFiles(Path(L"docs"), false);
    Click(Page::kIdCmdBackToScanPage);
    EXPECT_EQ(questions.size(), 2u);  // silent mode asks nothing
}

TEST_F(PageTest, CounterDialogsShowTheirLists) {
    std::vector<std::wstring> shown;
    page.SetDetailsDialogHook([&](HWND, const std::wstring& caption, const std::wstring& title, const std::wstring& text) {
        shown = {caption, title, text};
    });
    page.ScanDirOrFiles(Path(L"docs"), false);
    Click(Page::kIdLblScanResultCountShowTitle0 + 3);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], L"可疑文件详情");
    EXPECT_EQ(shown[2], Path(L"docs\\b.docx"));
    Click(Page::kIdLblResultCountShow0 + 6);
    EXPECT_EQ(shown[0], L"损坏文件列表");
    EXPECT_EQ(shown[2], L"");
    shown.clear();
    Click(Page::kIdLblResultCountShow0 + 1);
    EXPECT_TRUE(shown.empty());
}

TEST_F(PageTest, WithoutEngineTheErrorShowsAndEveryCandidateFails) {
    page.SetEngineLink(nullptr);
    page.ScanDirOrFiles(Path(L"docs\\d.docx"), true);
    EXPECT_TRUE(Visible(page.Control(Page::kIdLblEngineloadFailedErr0)));
    EXPECT_FALSE(Visible(page.Control(Page::kIdListScanCleanResult)));
    EXPECT_EQ(page.ResultList().ListCount(), 1);
    EXPECT_EQ(page.WorkStepState(), 0);
    EXPECT_TRUE(Visible(page.Control(Page::kIdFrameContactUs)));

    page.SetEngineLink(&link);
    page.ScanDirOrFiles(Path(L"docs\\d.docx"), true);
    EXPECT_TRUE(Visible(page.Control(Page::kIdListScanCleanResult)));
}

TEST_F(PageTest, MissingPathOrEmptyChoiceDoesNothing) {
    page.SetBrowseHook([](HWND, const std::wstring&) { return std::wstring(L"  "); });
    Click(Page::kIdPicBtnScanDirFiles0 + 2);
    page.ScanDirOrFiles(Path(L"nothing-here"), false);
    EXPECT_TRUE(Visible(page.Control(Page::kIdFrameScanPage)));
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(page.ScanSoureID(), 3);
}


// The walk lets window events run every few milliseconds; an engine that takes as long for each
// document sees no request after the one during which the cancel came, or the next at most.
TEST_F(PageTest, CancelButtonStopsTheWalkWithinItsEventPace) {
    for (int i = 0; i < 8; ++i) WriteFile(L"many\\f" + std::to_wstring(i) + L".docx", FileBytes(ZipHeader(), 300));
    int requests = 0;
    ScriptedLink cancelling([&](const std::wstring& request) -> std::vector<std::wstring> {
        if (++requests == 2)
            ::PostMessageW(page.Window(), WM_COMMAND, MAKEWPARAM(Page::kIdCmdScanCleanBreak, BN_CLICKED), 0);
        ::Sleep(static_cast<DWORD>(WorkPace::kEventsEveryMs));
        return {L"R_SCAN::0::::" + request.substr(6)};
    });
    page.SetEngineLink(&cancelling);
    page.ScanDirOrFiles(Path(L"many"), true);
    EXPECT_GE(requests, 2);
    EXPECT_LE(requests, 3);
    EXPECT_LT(page.Work().Results.TotalCount, 8);
    EXPECT_EQ(TextOf(page.Control(Page::kIdLblScanPath)), L"扫描完毕");
    EXPECT_EQ(page.WorkStepState(), 0);
}

TEST_F(PageTest, EngineExitClosesTheHoldingFormAndEndsTheWalk) {
    ScriptedLink leaving([](const std::wstring&) { return std::vector<std::wstring>{L"CLIENT::EXIT"}; });
    page.SetEngineLink(&leaving);
    page.ScanDirOrFiles(Path(L"docs"), false);
    EXPECT_EQ(leaving.sent.size(), 1u);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    EXPECT_FALSE(::IsWindow(host));
    EXPECT_EQ(page.Window(), nullptr);
    host = nullptr;
}

TEST_F(PageTest, QuickScanWalksDesktopAndDocumentsOfTheProfile) {
    WriteFile(L"profile\\Desktop\\q.doc", FileBytes(Ole2Header(), 300));
    WriteFile(L"profile\\Documents\\sub\\r.xlsm", FileBytes(ZipHeader(), 300));
    WriteFile(L"profile\\Documents\\skip.txt", FileBytes(ZipHeader(), 300));
    wchar_t old[1024]{};
    ::GetEnvironmentVariableW(L"USERPROFILE", old, 1024);
    ::SetEnvironmentVariableW(L"USERPROFILE", Path(L"profile").c_str());
    Click(Page::kIdPicBtnScanDirFiles0 + 1);
    ::SetEnvironmentVariableW(L"USERPROFILE", old);
    EXPECT_EQ(page.ScanSoureID(), 2);
    const std::vector<std::wstring> scans = Sent(L"SCAN::");
    auto sentLower = [&](const std::wstring& relative) {
        std::wstring want = L"SCAN::" + ToLowerText(Path(relative));
        std::replace(want.begin(), want.end(), L'\\', L'/');
        return std::find(scans.begin(), scans.end(), want) != scans.end();
    };
    EXPECT_TRUE(sentLower(L"profile\\Desktop\\q.doc"));
    EXPECT_TRUE(sentLower(L"profile\\Documents\\sub\\r.xlsm"));
    EXPECT_FALSE(sentLower(L"profile\\Documents\\skip.txt"));
}


// Finished results keep the work state at 1 for the user's decision, but no loop runs then.
TEST_F(PageTest, WorkLoopRunsOnlyInsideTheWalkAndTheClean) {
    bool runningDuringScan = false, runningDuringClean = false;
    ScriptedLink probe{[&](const std::wstring& request) {
        (request.starts_with(L"CLEAN::") ? runningDuringClean : runningDuringScan) = page.IsWorkLoopRunning();
        return Engine(request, backedUp);
    }};
    page.SetEngineLink(&probe);
    EXPECT_FALSE(page.IsWorkLoopRunning());
    page.ScanDirOrFiles(Path(L"docs"), true);
    EXPECT_TRUE(runningDuringScan);
    EXPECT_EQ(page.WorkStepState(), 1);
    EXPECT_FALSE(page.IsWorkLoopRunning());
    Click(Page::kIdCmdJustClean);
    EXPECT_TRUE(runningDuringClean);
    EXPECT_FALSE(page.IsWorkLoopRunning());
}

// The test prefix maps its build folder as D:, a network share, so only C: is a fixed drive.
TEST_F(PageTest, FullScanWalksEveryFixedDriveAndNoOtherDrive) {
    WriteFile(L"full\\deep\\f.doc", FileBytes(Ole2Header(), 300));
    Click(Page::kIdPicBtnScanDirFiles0 + 0);
    EXPECT_EQ(page.ScanSoureID(), 1);
    std::wstring want = L"SCAN::" + Path(L"full\\deep\\f.doc");
    std::replace(want.begin(), want.end(), L'\\', L'/');
    const std::vector<std::wstring> scans = Sent(L"SCAN::");
    EXPECT_NE(std::find(scans.begin(), scans.end(), want), scans.end());
    EXPECT_TRUE(std::none_of(scans.begin(), scans.end(), [](const std::wstring& m) {
        return m.starts_with(L"SCAN::d:") || m.starts_with(L"SCAN::D:");
    }));
}

TEST_F(PageTest, GuardBackgroundScanCleansAtOnceAndReportsOnce) {
    WriteFile(L"appdata\\Microsoft\\Templates\\normal.dotm", FileBytes(ZipHeader(), 300));
    WriteFile(L"appdata\\Microsoft\\Templates\\a.doc", FileBytes(Ole2Header(), 300));
    WriteFile(L"profile\\Desktop\\desk.docx", FileBytes(ZipHeader(), 300));
    wchar_t old[1024]{};
    ::GetEnvironmentVariableW(L"USERPROFILE", old, 1024);
    ::SetEnvironmentVariableW(L"USERPROFILE", Path(L"profile").c_str());
    WriteIniString(page.Work().ConfigPath, ini::kAppSetting, ini::kMonitorDoAction, L"2");
    page.SilentScanClean(true);
    page.ScanSoureID(5);
    std::array<std::wstring, 2> info;
    const std::int32_t found = page.BackEndScan(info);
    ::SetEnvironmentVariableW(L"USERPROFILE", old);

    EXPECT_EQ(found, 1);
    EXPECT_EQ(ToLowerText(info[0]), ToLowerText(Path(L"appdata\\Microsoft\\Templates\\a.doc")));
    EXPECT_EQ(info[1], L"W97M.Thus");
    EXPECT_EQ(Sent(L"CLEAN::").size(), 1u);
    EXPECT_TRUE(backedUp);
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(page.WorkStepState(), 0);
    for (const std::wstring& m : Sent(L"SCAN::")) EXPECT_EQ(m.find(L"desk.docx"), std::wstring::npos);
    ASSERT_EQ(Sent(L"FEEDBACK::").size(), 1u);
    EXPECT_NE(Sent(L"FEEDBACK::")[0].find(L"FromSource=5&"), std::wstring::npos);

    // The same findings again: the guard does not repeat its virus report.
    page.BackEndScan(info);
    EXPECT_EQ(Sent(L"FEEDBACK::").size(), 1u);
    EXPECT_TRUE(page.Work().FeedbackSent);
}

}  // namespace
}  // namespace tessaly::test
