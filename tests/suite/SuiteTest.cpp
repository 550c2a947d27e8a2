// The whole-suite fixture; see SuiteTest.h.
#include "SuiteTest.h"

#include "ChildProcess.h"
#include "DesktopUser.h"
#include "Polling.h"
#include "RegistrySnapshot.h"
#include "TextFiles.h"
#include "UpdaterTestSupport.h"
#include "frmMain.h"

namespace suitetest {
namespace {

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
    // The package installs quickly; the temporary copy holds the installing marker, not the package.
    e2e::WriteBytes(CommonDataFile(L"testpackage.cfg"), "hold=500\r\nmarker=0\r\n");
}

void SuiteTest::TearDown() {
    // The updater's temporary copy runs from outside the program folder.
    e2e::EndProcessesFromFolder(UpdateTempFolder());
    E2eTest::TearDown();
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

}  // namespace suitetest
