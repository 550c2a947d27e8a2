// The installer package by itself: a first installation with its silent mode into a folder that
// holds nothing yet, the uninstallation of it, and an update whose replacement fails half-way.
#include <gtest/gtest.h>

#include <filesystem>

#include "ContextMenuScan.h"
#include "IniOperation.h"
#include "MSRegistryAPI.h"
#include "Polling.h"
#include "RegistrySnapshot.h"
#include "SuiteTest.h"
#include "TextCompare.h"
#include "TextConvert.h"
#include "TextFiles.h"
#include "UniqueHandle.h"

namespace suitetest {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessaly";
constexpr DWORD kUninstallMs = 60000;

std::optional<std::wstring> UninstallEntry(const wchar_t* name) {
    tessaly::RegValue value;
    if (tessaly::ReadRegValue(HKEY_LOCAL_MACHINE, kUninstallKey, name, value) != ERROR_SUCCESS) return std::nullopt;
    const auto* text = std::get_if<std::wstring>(&value);
    return text ? std::optional<std::wstring>(*text) : std::nullopt;
}

bool AnyVerbKey() {
    for (const std::wstring& key : tessaly::context_menu::AllVerbKeys())
        if (testsupport::ClassesRootKeyExists(key)) return true;
    return false;
}

}  // namespace

TEST_F(SuiteTest, ASilentFirstInstallationRunsAndItsUninstallerTakesItAwayButTheUsersData) {
    // The main program refuses a folder that is not plain ASCII, so the package installs nothing there.
    const std::wstring chinese = Root() + L"程序\\";
    const std::optional<DWORD> refused = InstallSilently(ShippedPackage(), chinese);
    ASSERT_TRUE(refused.has_value());
    EXPECT_NE(*refused, 0u);
    EXPECT_FALSE(std::filesystem::exists(chinese));

    // Lower-cased and with its trailing "\", as the updater passes the folder.
    const std::wstring folder = tessaly::ToLowerText(Root()) + L"tessaly\\";
    ASSERT_EQ(InstallSilently(ShippedPackage(), folder), 0u);
    EXPECT_EQ(ProgramVersions(folder), std::vector<std::wstring>(5, kBuiltVersion));
    EXPECT_TRUE(e2e::FileExists(folder + L"tessaly.sig"));
    EXPECT_FALSE(e2e::FileExists(folder + L"lastupdate.log")) << "release notes after a first installation";
    EXPECT_EQ(FolderFiles(folder).size(), 7u) << ::testing::PrintToString(FolderFiles(folder));
    EXPECT_EQ(UninstallEntry(L"DisplayVersion").value_or(L""), TESSALY_PACKAGE_VERSION);
    EXPECT_EQ(UninstallEntry(L"UninstallString").value_or(L""), L"\"" + folder + L"uninstall.exe\"");
    EXPECT_TRUE(e2e::SameNoCase(testsupport::AutoRunValue().value_or(L""), L"\"" + folder + kTrayProgram + L"\""));
    auto tray = TrayOf(folder);
    ASSERT_TRUE(tray->Ready()) << "the installation did not start the tray program";
    EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));

    // What the programs leave for the user, and the verb the main program registers.
    e2e::WriteBytes(CommonDataFile(L"Quarantine.dat"), "record\r\n");
    tessaly::WriteIniString(ConfigFile(), tessaly::ini::kGeneral, tessaly::ini::kInstalledDate, L"01-02-2021");
    tessaly::context_menu::RegisterVerbs(tessaly::context_menu::BuildScanCommandLine(folder));
    const e2e::ChildProcess uninstaller(folder + L"uninstall.exe", L"/S", folder);
    ASSERT_TRUE(uninstaller.Valid());
    // The uninstaller goes on from a copy of itself in the temporary folder and holds the installing
    // marker until its last step.
    ASSERT_TRUE(e2e::WaitUntil([&] { return !std::filesystem::exists(folder) && !MarkerPresent(L"zdvinstalling"); },
                               kUninstallMs, 100))
        << ::testing::PrintToString(FolderFiles(folder));
    EXPECT_TRUE(tray->WaitForExit().has_value()) << "the tray program outlived the uninstallation";
    EXPECT_FALSE(testsupport::AutoRunValue().has_value());
    EXPECT_FALSE(UninstallEntry(L"DisplayName").has_value());
    EXPECT_FALSE(AnyVerbKey());
    EXPECT_TRUE(e2e::FileExists(CommonDataFile(L"Quarantine.dat")));
    EXPECT_EQ(tessaly::ReadIniString(ConfigFile(), tessaly::ini::kGeneral, tessaly::ini::kInstalledDate, L""),
              L"01-02-2021");
    EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));
}

TEST_F(SuiteTest, AnUpdateWhoseReplacementFailsHalfWayLeavesTheOldVersionRunning) {
    const e2e::StagedProgramFolder& folder = StageSuite();
    ASSERT_TRUE(folder.Ready());
    const std::optional<std::string> signatures = e2e::ReadBytes(folder.File(L"tessaly.sig"));
    auto tray = std::make_unique<traytest::RunningTray>(
        e2e::ChildProcess(folder.File(kTrayProgram), L"", folder.Folder()));
    ASSERT_TRUE(tray->Ready());
    // The guard's file cannot be moved aside while this handle is open, after the main program,
    // the engine and the signatures have been replaced.
    const tessaly::unique_file held(::CreateFileW(folder.Guard().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const std::optional<DWORD> exitCode = InstallSilently(RaisedPackage(), folder.Folder());
    ASSERT_TRUE(exitCode.has_value()) << "the package did not end";
    EXPECT_NE(*exitCode, 0u);
    EXPECT_TRUE(tray->WaitForExit().has_value()) << "the tray program did not step aside";

    EXPECT_EQ(ProgramVersions(folder.Folder()), std::vector<std::wstring>(5, kBuiltVersion));
    EXPECT_EQ(e2e::ReadBytes(folder.File(L"tessaly.sig")), signatures);
    EXPECT_FALSE(e2e::FileExists(folder.File(L"lastupdate.log")));
    EXPECT_EQ(FolderFiles(folder.Folder()).size(), 6u) << ::testing::PrintToString(FolderFiles(folder.Folder()));
    EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));
    const auto again = TrayOf(folder.Folder());
    EXPECT_TRUE(again->Ready()) << "the old version's tray program did not come back";
}

}  // namespace suitetest
