// The scan page in the guard's silent mode against a scripted engine: which files a background
// scan looks at, what BackEndScan hands back, the clean at once and its backup, the statistics
// message that is not repeated, and the faults that must not cost a document or a report.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>

#include "ClsQuarantine.h"
#include "GuardTestSupport.h"
#include "IniOperation.h"
#include "ScanPageTestSupport.h"
#include "ScanPageWorkState.h"
#include "TextConvert.h"
#include "usrScanCleanPage.h"
#include "usrScanCleanPageSilent.h"

namespace tessaly::test {
namespace {

constexpr wchar_t kTemplates[] = L"appdata\\Microsoft\\Templates\\";

class SilentPageTest : public ScanPageFolderTest {
protected:
    void SetUp() override {
        ScanPageFolderTest::SetUp();
        ::GetEnvironmentVariableW(L"USERPROFILE", m_oldProfile, 1024);
        ::SetEnvironmentVariableW(L"USERPROFILE", Path(L"profile").c_str());
        host = ::CreateWindowExW(0, L"STATIC", L"guard", WS_OVERLAPPED, 0, 0, 800, 600, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        ASSERT_TRUE(page.Create(host, 0, 0));
        page.SetEngineLink(&link);
        page.RequestOptions() = QuickRequestOptions();
        page.SetMessageBoxHook([this](HWND, const std::wstring& text, const std::wstring&, UINT) {
            questions.push_back(text);
            return IDYES;
        });
        page.SilentScanClean(true);
        page.ScanSoureID(kBackgroundScanSource);
    }
    void TearDown() override {
        if (host) ::DestroyWindow(host);
        ::SetEnvironmentVariableW(L"USERPROFILE", m_oldProfile);
        ScanPageFolderTest::TearDown();
    }
    void Template(const std::wstring& name, const std::string& head = Ole2Header()) {
        WriteFile(kTemplates + name, FileBytes(head, 300));
    }
    void DoAction(const std::wstring& value) {
        WriteIniString(page.Work().ConfigPath, ini::kAppSetting, ini::kMonitorDoAction, value);
    }
    std::vector<std::wstring> Sent(const std::wstring& prefix) const {
        std::vector<std::wstring> found;
        for (const std::wstring& m : link.sent)
            if (m.starts_with(prefix)) found.push_back(m);
        return found;
    }
    std::int32_t Scan() { return page.BackEndScan(info); }

    // Documents whose name starts with "v" are infected, with the virus named after the file.
    std::vector<std::wstring> Answer(const std::wstring& request) {
        if (onRequest) onRequest(request);
        if (request.starts_with(L"CLEAN::")) {
            std::wstring local = request.substr(7);
            std::replace(local.begin(), local.end(), L'/', L'\\');
            ClsQuarantine store;
            std::vector<std::wstring> records;
            store.GetRecords(records);
            const bool backedUp = std::any_of(records.begin(), records.end(),
                                              [&](const std::wstring& r) { return r.ends_with(L"::" + local); });
            if (!backedUp) cleanedWithoutBackup.push_back(local);
            return {L"R_CLEAN::1::ok::" + request.substr(7)};
        }
        if (!request.starts_with(L"SCAN::")) return {};
        const std::wstring path = request.substr(6);
        const std::wstring name = path.substr(path.find_last_of(L'/') + 1);
        const std::wstring code = name.starts_with(L"v") ? L"2::Virus." + name : L"0::";
        return {L"R_SCAN::" + code + L"::" + path};
    }

    HWND host = nullptr;
    ScriptedLink link{[this](const std::wstring& request) { return Answer(request); }};
    std::function<void(const std::wstring&)> onRequest;
    usrScanCleanPage page;
    std::array<std::wstring, 2> info;
    std::vector<std::wstring> questions;
    std::vector<std::wstring> cleanedWithoutBackup;

private:
    wchar_t m_oldProfile[1024]{};
};

TEST_F(SilentPageTest, ScansTheOfficeTargetsButNotDesktopOrDocuments) {
    Template(L"clean.dotm", ZipHeader());
    WriteFile(L"profile\\Desktop\\vdesk.doc", FileBytes(Ole2Header(), 300));
    WriteFile(L"profile\\Documents\\vdocs.doc", FileBytes(Ole2Header(), 300));
    EXPECT_EQ(Scan(), 0);
    ASSERT_EQ(Sent(L"SCAN::").size(), 1u);
    EXPECT_TRUE(Sent(L"SCAN::")[0].ends_with(L"/clean.dotm"));
    EXPECT_TRUE(info[0].empty());
    EXPECT_TRUE(info[1].empty());
    EXPECT_TRUE(questions.empty());
}

TEST_F(SilentPageTest, OneVirusIsHandedBackWithoutTheMoreMark) {
    Template(L"vone.doc");
    Template(L"clean.doc");
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(ToLowerText(info[0]), ToLowerText(Path(kTemplates + std::wstring(L"vone.doc"))));
    EXPECT_EQ(info[1], L"Virus.vone.doc");
    EXPECT_EQ(page.WorkStepState(), 0);
    EXPECT_TRUE(Sent(L"CLEAN::").empty()) << "MonitorDoAction 0 only reports";
}

TEST_F(SilentPageTest, SeveralVirusesHandBackTheFirstWithTheMoreMark) {
    Template(L"va.doc");
    Template(L"vb.doc");
    Template(L"vc.doc");
    EXPECT_EQ(Scan(), 3);
    const std::wstring first = page.Work().Results.InfectedFiles.front().Path;
    EXPECT_EQ(info[0], first + L" ...");
    EXPECT_EQ(info[1], page.Work().Results.InfectedFiles.front().VirusName + L" ...");
    EXPECT_TRUE(questions.empty()) << "leaving with viruses pending asks nothing in silent mode";
}

TEST_F(SilentPageTest, CleansAtOnceWithABackupFirstAndStillReportsWhatWasFound) {
    Template(L"va.doc");
    Template(L"vb.doc");
    DoAction(L"2");
    EXPECT_EQ(Scan(), 2);
    EXPECT_EQ(Sent(L"CLEAN::").size(), 2u);
    EXPECT_TRUE(cleanedWithoutBackup.empty());
    EXPECT_EQ(page.Work().Results.CleanedCount, 2);
    EXPECT_TRUE(info[0].ends_with(L".doc ..."));
    ASSERT_EQ(Sent(L"FEEDBACK::").size(), 1u);
    EXPECT_NE(Sent(L"FEEDBACK::")[0].find(L"FromSource=5&"), std::wstring::npos);
    EXPECT_NE(Sent(L"FEEDBACK::")[0].find(L"&CleanedCount=2&"), std::wstring::npos);
}

TEST_F(SilentPageTest, CleanAtOnceWithoutVirusesLeavesTheResultViewTwice) {
    Template(L"clean.doc");
    DoAction(L" 2.0 ");
    EXPECT_EQ(Scan(), 0);
    EXPECT_TRUE(Sent(L"CLEAN::").empty());
    EXPECT_EQ(Sent(L"FEEDBACK::").size(), 2u);
}

TEST_F(SilentPageTest, AnUnchangedVirusReportIsNotRepeatedAndAnyChangeIsSent) {
    Template(L"va.doc");
    Scan();
    Scan();
    EXPECT_EQ(Sent(L"FEEDBACK::").size(), 1u);
    EXPECT_TRUE(page.Work().FeedbackSent);
    Template(L"clean.doc");  // one more file looked at: another report
    Scan();
    ASSERT_EQ(Sent(L"FEEDBACK::").size(), 2u);
    EXPECT_NE(Sent(L"FEEDBACK::")[1].find(L"&TotalCount=2&"), std::wstring::npos);
    // Reports without viruses always go out.
    ::DeleteFileW(Path(kTemplates + std::wstring(L"va.doc")).c_str());
    Scan();
    Scan();
    EXPECT_EQ(Sent(L"FEEDBACK::").size(), 4u);
}

TEST_F(SilentPageTest, ADamagedDoActionSettingSkipsTheCleanButNotTheReport) {
    Template(L"va.doc");
    DoAction(L"two");
    EXPECT_EQ(Scan(), 1) << "the scan's findings do not depend on the clean setting";
    EXPECT_TRUE(Sent(L"CLEAN::").empty());
    EXPECT_EQ(Sent(L"FEEDBACK::").size(), 1u);
    EXPECT_NE(OwnErrorLogText().find(L"MonitorDoAction is not a number: two"), std::wstring::npos);
}

TEST_F(SilentPageTest, AStoppedScanSendsNoCleanRequest) {
    Template(L"va.doc");
    Template(L"vb.doc");
    Template(L"vc.doc");
    DoAction(L"2");
    // The guard's stop condition comes to hold while the second document is being scanned.
    int scans = 0;
    onRequest = [&](const std::wstring& request) {
        if (request.starts_with(L"SCAN::") && ++scans == 2) page.BreakScanClean(true);
    };
    EXPECT_EQ(Scan(), 1) << "what was found before the stop is still reported";
    EXPECT_EQ(Sent(L"SCAN::").size(), 2u);
    EXPECT_TRUE(Sent(L"CLEAN::").empty());
}

// Office discovery that has to ask "Excel.Application" takes its time; the guard's stop condition
// comes to hold meanwhile and must still stop the scan that follows.
TEST_F(SilentPageTest, AStopWhileTheOfficeTargetsAreCollectedKeepsTheScanFromBeginning) {
    Template(L"va.doc");
    DoAction(L"2");
    AutomationOnlyOffice office;
    int questions = 0;
    ServedAutomation excel(Path(L"office16"), {[&] {
                                                   ++questions;
                                                   page.BreakScanClean(true);
                                               },
                                               {}});
    ASSERT_TRUE(excel.Served());
    EXPECT_EQ(Scan(), 0);
    EXPECT_GT(questions, 0) << "discovery did not ask the automation object";
    EXPECT_TRUE(Sent(L"SCAN::").empty());
    EXPECT_TRUE(Sent(L"CLEAN::").empty());
    EXPECT_EQ(page.WorkStepState(), 0);
}

TEST_F(SilentPageTest, AStopWhileTheCleanLetsEventsRunSendsNoFurtherCleanRequest) {
    Template(L"va.doc");
    Template(L"vb.doc");
    DoAction(L"2");
    page.RequestOptions().pumpEvents = [this] {
        if (page.WorkStepState() == kWorkCleaning) page.BreakScanClean(true);
    };
    EXPECT_EQ(Scan(), 2) << "what the scan found is still reported";
    EXPECT_TRUE(Sent(L"CLEAN::").empty());
    EXPECT_EQ(page.Work().Results.CleanedCount + page.Work().Results.CleanFailedCount, 0);
}

TEST_F(SilentPageTest, ADocumentGoneBeforeItsCleanIsNeitherSentNorLostTrack) {
    Template(L"va.doc");
    Template(L"vb.doc");
    DoAction(L"2");
    // The user deletes the first infected document while the scan goes on.
    std::wstring firstInfected;
    onRequest = [&](const std::wstring& request) {
        if (!request.starts_with(L"SCAN::")) return;
        if (!firstInfected.empty()) {
            ::DeleteFileW(firstInfected.c_str());
            return;
        }
        firstInfected = request.substr(6);
        std::replace(firstInfected.begin(), firstInfected.end(), L'/', L'\\');
    };
    EXPECT_EQ(Scan(), 2);
    const std::vector<std::wstring> cleans = Sent(L"CLEAN::");
    ASSERT_EQ(cleans.size(), 1u) << "only the document still there is cleaned";
    EXPECT_TRUE(cleanedWithoutBackup.empty());
    EXPECT_EQ(page.Work().Results.CleanedCount, 1);
    EXPECT_EQ(page.Work().Results.CleanFailedCount, 1);
    ASSERT_EQ(page.Work().Results.CleanFailedFiles.size(), 1u);
    EXPECT_TRUE(EqualsNoCase(page.Work().Results.CleanFailedFiles[0], firstInfected));
}

TEST_F(SilentPageTest, AnEngineThatLeavesUnloadsTheGuardFormAndGetsNoClean) {
    Template(L"va.doc");
    DoAction(L"2");
    ScriptedLink leaving{[](const std::wstring& request) -> std::vector<std::wstring> {
        if (request.starts_with(L"SCAN::")) return {L"CLIENT::EXIT"};
        return {};
    }};
    page.SetEngineLink(&leaving);
    EXPECT_EQ(Scan(), 0);
    MSG close{};
    EXPECT_TRUE(::PeekMessageW(&close, host, WM_CLOSE, WM_CLOSE, PM_REMOVE)) << "the guard's form was not unloaded";
    for (const std::wstring& sent : leaving.sent) EXPECT_FALSE(sent.starts_with(L"CLEAN::")) << sent.c_str();
}

TEST_F(SilentPageTest, TheEngineIsAskedWhetherItLivesOnlyBeforeSending) {
    Template(L"va.doc");
    // The engine's process query fails after the request went out; its reply still arrives.
    onRequest = [this](const std::wstring& request) {
        if (request.starts_with(L"SCAN::")) link.alive = false;
    };
    EXPECT_EQ(Scan(), 1);
    // The main program's page gives up at the first poll instead.
    link.alive = true;
    page.SilentScanClean(false);
    page.ScanDirOrFiles(Path(kTemplates), false);
    EXPECT_EQ(page.Work().Results.VirusCount, 0);
}

TEST(SettingNumber, ReadsDecimalNumbersOnly) {
    EXPECT_EQ(SettingNumber(L"1"), 1.0);
    EXPECT_EQ(SettingNumber(L" 2 "), 2.0);
    EXPECT_EQ(SettingNumber(L"2.0"), 2.0);
    EXPECT_EQ(SettingNumber(L"-1"), -1.0);
    EXPECT_EQ(SettingNumber(L"1e0"), 1.0);
    EXPECT_EQ(SettingNumber(L".5"), 0.5);
    for (const wchar_t* text : {L"", L" ", L"abc", L"1abc", L"0x1", L"inf", L"nan", L"1.2.3", L"e5", L"1e", L"+", L"１"})
        EXPECT_FALSE(SettingNumber(text).has_value()) << WideToUtf8(text);
}

}  // namespace
}  // namespace tessaly::test
