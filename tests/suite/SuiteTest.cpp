// The whole-suite fixture; see SuiteTest.h.
#include "SuiteTest.h"

#include <filesystem>

#include "ChildProcess.h"
#include "RemoteWindows.h"
#include "DesktopUser.h"
#include "Polling.h"
#include "RegistrySnapshot.h"
#include "TextFiles.h"
#include "UpdaterTestSupport.h"
#include "frmMain.h"
#include "frmShowMsg.h"
#include "modFileVersion.h"

namespace suitetest {
namespace {

constexpr DWORD kPackageTimeoutMs = 120000;
constexpr wchar_t kNotesCaption[] = L"最新版本特性";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessaly";

// The query holds the field ("name=value") whole.
bool QueryHas(const updater_test::RecordedRequest& request, const std::string& field) {
    const std::string query = "&" + request.Query() + "&";
    return query.find("&" + field + "&") != std::string::npos;
}

}  // namespace

void SuiteTest::SetUp() {
    ASSERT_NO_FATAL_FAILURE(E2eTest::SetUp());
    ASSERT_TRUE(m_service.Running());
    // The network probe pings the web server's host; the loopback address answers.
    PointUpdater(m_service.UpdateUrl(), L"http://127.0.0.1");
}

void SuiteTest::TearDown() {
    // Installed folders, the updater's temporary copy and the uninstaller's copy all lie below the
    // test's root; the entry in Programs and Features goes with them.
    e2e::EndProcessesFromFolder(Root());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
    E2eTest::TearDown();
}

std::wstring ShippedPackage() { return e2e::TestProgramFolder() + L"..\\zdvupdatepkg.exe"; }
std::wstring RaisedPackage() { return e2e::TestProgramFolder() + L"raised\\zdvupdatepkg.exe"; }

std::string PackageFileBytes(const std::wstring& package) {
    const std::optional<std::string> bytes = e2e::ReadBytes(package);
    EXPECT_TRUE(bytes && !bytes->empty()) << "no installer package at " << ::testing::PrintToString(package);
    return bytes.value_or(std::string());
}

std::vector<std::wstring> ProgramVersions(const std::wstring& folder) {
    std::vector<std::wstring> versions;
    for (const wchar_t* program : kPrograms) versions.push_back(tessaly::GetFileVersion(folder + program));
    return versions;
}

std::optional<DWORD> InstallSilently(const std::wstring& package, const std::wstring& folder) {
    const e2e::ChildProcess run(package, L"/verysilent /installpath \"" + folder + L"\"", e2e::TestProgramFolder());
    return run.WaitForExit(kPackageTimeoutMs);
}

std::unique_ptr<traytest::RunningTray> SuiteTest::TrayOf(const std::wstring& folder) {
    const std::wstring tray = folder + kTrayProgram;
    DWORD id = 0;
    e2e::WaitUntil(
        [&] {
            for (DWORD process : e2e::ProcessesFromFolder(folder))
                if (::lstrcmpiW(e2e::ProcessImagePath(process).c_str(), tray.c_str()) == 0) id = process;
            return id != 0;
        },
        kWaitMs);
    return std::make_unique<traytest::RunningTray>(e2e::ChildProcess(id));
}

std::wstring SuiteTest::ExpectNotesShownOnce(const e2e::StagedProgramFolder& folder) {
    EXPECT_TRUE(e2e::FileExists(folder.File(L"lastupdate.log"))) << "no release notes left";
    m_service.QueueAnswer(updater_test::ActionJson("31"));
    auto main = StartMainProgram(folder);
    if (!main) return {};
    const auto showContact = [&] {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(main->Window(), WM_TIMER, tessaly::frmMain::kTimerShowContact, 0, SMTO_NORMAL, kWaitMs,
                              &result);
    };
    const auto notesWindows = [&] {
        std::vector<HWND> notes;
        for (HWND window : e2e::TopWindowsOf(main->Id()))
            if (e2e::WindowCaption(window) == kNotesCaption) notes.push_back(window);
        return notes;
    };
    showContact();
    const std::vector<HWND> shown = notesWindows();
    EXPECT_EQ(shown.size(), 1u) << "no release notes shown";
    const std::wstring notes =
        shown.empty() ? std::wstring() : e2e::ControlText(::GetDlgItem(shown[0], tessaly::frmShowMsg::kTextMessageId));
    EXPECT_FALSE(e2e::FileExists(folder.File(L"lastupdate.log")));
    showContact();
    EXPECT_EQ(notesWindows().size(), 1u) << "the notes were shown twice";
    main->Close();
    EXPECT_TRUE(main->WaitForExit(e2e::kExitTimeoutMs).has_value());
    return notes;
}

e2e::StagedProgramFolder& SuiteTest::StageSuite() {
    e2e::StagedProgramFolder& folder = Stage(e2e::Engine::kStaged);
    EXPECT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    return folder;
}

std::unique_ptr<e2e::DrosselRun> SuiteTest::StartMainProgram(const e2e::StagedProgramFolder& folder) {
    auto run = std::make_unique<e2e::DrosselRun>(folder, L"");
    if (!run->WaitUntilReady(e2e::kStartTimeoutMs)) {
        ADD_FAILURE() << "no ready main window";
        return nullptr;
    }
    const std::size_t checks = m_service.Posts().size();
    ::PostMessageW(run->Window(), WM_TIMER, tessaly::frmMain::kTimerShellUpdate, 0);
    if (!WaitForUpdateChecks(folder, checks + 1)) {
        ADD_FAILURE() << "the main program's update check did not end";
        return nullptr;
    }
    return run;
}

std::unique_ptr<traytest::RunningTray> SuiteTest::LogOn() {
    const std::optional<std::wstring> command = testsupport::AutoRunValue();
    EXPECT_TRUE(command.has_value()) << "no autorun value";
    return std::make_unique<traytest::RunningTray>(StartAsDesktopUser(command.value_or(L"")));
}

bool SuiteTest::MarkerPresent(const std::wstring& name) const { return e2e::FileExists(MarkerFile(name)); }

DWORD SuiteTest::ProcessOf(const e2e::StagedProgramFolder& folder, const std::wstring& program) {
    const std::wstring path = folder.File(program);
    for (DWORD id : e2e::ProcessesFromFolder(folder.Folder()))
        if (::lstrcmpiW(e2e::ProcessImagePath(id).c_str(), path.c_str()) == 0) return id;
    return 0;
}

bool SuiteTest::WaitForUpdateChecks(const e2e::StagedProgramFolder& folder, std::size_t count) {
    return e2e::WaitUntil([&] { return m_service.Posts().size() >= count; }, kWaitMs) &&
           e2e::WaitUntil([&] { return ProcessOf(folder, kUpdaterProgram) == 0; }, kWaitMs);
}

// "ExecutionLevel" carries the hex-UTF-8 of "1" or "0".
bool SuiteTest::SentElevated(const updater_test::RecordedRequest& request) {
    return QueryHas(request, "ExecutionLevel=31");
}

bool SuiteTest::SentNotElevated(const updater_test::RecordedRequest& request) {
    return QueryHas(request, "ExecutionLevel=30");
}

bool SuiteTest::SentVersion(const updater_test::RecordedRequest& request, const std::wstring& version) {
    const std::string query = "&" + request.Query();
    return query.find("&AppVer=" + updater_test::HexOf(Ascii(version)) + "&") != std::string::npos;
}

std::string Ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::vector<std::wstring> FolderFiles(const std::wstring& folder) {
    std::vector<std::wstring> files;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file(error)) files.push_back(it->path().wstring());
    return files;
}

}  // namespace suitetest
