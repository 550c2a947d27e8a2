// The whole-program fixture; see UpdaterProgram.h.
#include "UpdaterProgram.h"

#include "BoundedPoll.h"
#include "IniOperation.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "UpdateTexts.h"
#include "frmUpdate.h"
#include "modCommon.h"

namespace updater_test {

using namespace tessaly;

void UpdaterProgramTest::SetUp() {
    ASSERT_TRUE(m_service.Running());
    m_folders.SetPackageDouble("hold=2500\r\n");
}

void UpdaterProgramTest::TearDown() {
    if (!m_program.empty()) e2e::EndProcessesFromFolder(m_program);
    e2e::EndProcessesFromFolder(m_folders.TempFolder());
}

std::wstring UpdaterProgramTest::Stage(Build build, const std::wstring& folderName) {
    m_program = m_folders.Root() + folderName + L"\\";
    const std::wstring source = build == Build::kShipped ? StageFolder() + L"zdvshengji.exe"
                                                         : TestBinFolder() + L"zdvshengji_quick.exe";
    WriteFileBytes(m_program + L"zdvshengji.exe", ReadFileBytes(source));
    return m_program;
}

std::unique_ptr<e2e::ChildProcess> UpdaterProgramTest::Start(const std::wstring& arguments) {
    if (m_program.empty()) Stage();
    auto process = std::make_unique<e2e::ChildProcess>(m_program + L"zdvshengji.exe", arguments, m_program);
    EXPECT_TRUE(process->Valid());
    return process;
}

bool UpdaterProgramTest::Ended(const e2e::ChildProcess& process, DWORD timeoutMs) {
    return process.WaitForExit(timeoutMs).has_value();
}

HWND UpdaterProgramTest::WaitForWindow(const e2e::ChildProcess& process, DWORD timeoutMs) {
    HWND window = nullptr;
    e2e::WaitUntil([&] { return (window = e2e::FindTopWindow(process.Id(), updater::kFormCaption)) != nullptr; },
                   timeoutMs);
    return window;
}

std::wstring UpdaterProgramTest::StatusText(HWND window) {
    return e2e::ControlText(e2e::FindDescendant(window, updater::frmUpdate::kIdOutUpdateMsg));
}

HWND UpdaterProgramTest::ExitButton(HWND window) {
    return e2e::FindDescendant(window, updater::frmUpdate::kIdOKButton);
}

bool UpdaterProgramTest::WaitForStatus(HWND window, const std::wstring& text, std::vector<std::wstring>* seen,
                                       DWORD timeoutMs) {
    return e2e::WaitUntil(
        [&] {
            const std::wstring now = StatusText(window);
            if (seen && (seen->empty() || seen->back() != now)) seen->push_back(now);
            return now == text;
        },
        timeoutMs, 10);
}

void UpdaterProgramTest::WriteCache(const std::string& package) const {
    WriteFileBytes(m_folders.UserDataFolder() + L"zdvupdatepkg.exe", package);
    m_folders.Set(ini::kUpdate, ini::kCacheDate, GetDateText());
    m_folders.Set(ini::kUpdate, ini::kPackageSize, std::to_wstring(package.size()));
    m_folders.Set(ini::kUpdate, ini::kPackageHash, Widen(Md5Of(package)));
}

bool UpdaterProgramTest::MarkerPresent(const std::wstring& name) const {
    return FileExists(m_folders.CommonDataFolder() + name + L".run");
}

void UpdaterProgramTest::Today() const { m_folders.Set(ini::kGeneral, ini::kLastCheckUpdate, GetDateText()); }

}  // namespace updater_test
