// The fixture of the whole-suite tests: the whole-program fixture with one staged folder of every
// real program and the real engine, the loopback update service the updater reports to, the
// installer packages the build made, and the ways a user's session starts the programs: the main
// program by hand, the tray program from the autorun value at log-on.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DrosselRun.h"
#include "ProgramFiles.h"
#include "E2eTest.h"
#include "TrayTestSupport.h"
#include "UpdateService.h"

namespace suitetest {

inline constexpr DWORD kWaitMs = 30000;

// The programs of the folder.
inline constexpr wchar_t kTrayProgram[] = L"kestrine.exe";
inline constexpr wchar_t kGuardProgram[] = L"zdvguard.exe";
inline constexpr wchar_t kEngineProgram[] = L"zdvcore.exe";
inline constexpr wchar_t kUpdaterProgram[] = L"zdvshengji.exe";
// The five programs an installation holds.
inline constexpr const wchar_t* kPrograms[] = {tessaly::kMainProgramFile, tessaly::kEngineProgramFile,
                                               tessaly::kGuardProgramFile, tessaly::kUpdaterProgramFile,
                                               tessaly::kTrayProgramFile};

// The version texts the build gave the programs, and the update's raised by one.
inline constexpr wchar_t kBuiltVersion[] = TESSALY_VERSION_TEXT;
inline constexpr wchar_t kRaisedVersion[] = TESSALY_RAISED_VERSION_TEXT;

// The installer packages: the one the build ships (beside the staged folder) and the update.
std::wstring ShippedPackage();
std::wstring RaisedPackage();
std::string PackageFileBytes(const std::wstring& package);
std::string Ascii(const std::wstring& text);
// Names of the files below folder, sub-folders included; empty when there is none (or no folder).
std::vector<std::wstring> FolderFiles(const std::wstring& folder);
// The version text of each of the five programs in folder, in the order of kPrograms.
std::vector<std::wstring> ProgramVersions(const std::wstring& folder);
// The package started as the updater starts it: "/verysilent /installpath " and the folder in
// double quotes; its exit code once it has ended, nullopt when it did not end in time.
std::optional<DWORD> InstallSilently(const std::wstring& package, const std::wstring& folder);

class SuiteTest : public e2e::E2eTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The program folder with the real engine; ends the test when it cannot be made.
    e2e::StagedProgramFolder& StageSuite();
    // The main program, started with the full rights its manifest asks for, once its start-up is
    // over. Its once-only update check (the 30-second timer) is run at once and waited for, so
    // that it cannot meet an updater that a test starts later. Null when either failed.
    std::unique_ptr<e2e::DrosselRun> StartMainProgram(const e2e::StagedProgramFolder& folder);
    // The log-on start: what the autorun value names, started as the desktop user.
    std::unique_ptr<traytest::RunningTray> LogOn();
    // The tray program of the folder that somebody else started, once its form and icon are there;
    // Ready() is false when none came.
    std::unique_ptr<traytest::RunningTray> TrayOf(const std::wstring& folder);
    // The next start of the main program shows the release notes the installation left, once,
    // and takes the file; the notes shown are returned.
    std::wstring ExpectNotesShownOnce(const e2e::StagedProgramFolder& folder);

    [[nodiscard]] bool MarkerPresent(const std::wstring& name) const;
    // The running process of the folder's program of that name; 0 when none runs.
    static DWORD ProcessOf(const e2e::StagedProgramFolder& folder, const std::wstring& program);
    // The update requests reach count, then no updater of the folder runs any more.
    bool WaitForUpdateChecks(const e2e::StagedProgramFolder& folder, std::size_t count);
    // The request's "ExecutionLevel" says the updater ran with full rights (or not).
    static bool SentElevated(const updater_test::RecordedRequest& request);
    static bool SentNotElevated(const updater_test::RecordedRequest& request);
    // The request's "AppVer" is that version text.
    static bool SentVersion(const updater_test::RecordedRequest& request, const std::wstring& version);

    [[nodiscard]] std::wstring UserDataFolder() const { return Root() + L"AppData\\Tessaly\\"; }
    [[nodiscard]] std::wstring UpdateTempFolder() const { return Root() + L"Temp\\zdvupdate_tmp\\"; }

    updater_test::UpdateService m_service;
};

}  // namespace suitetest
