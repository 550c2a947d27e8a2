// The updater's platform pieces: waits on run markers, process start with a kept handle, the
// elevation and version queries, and the update temporary folder and its file names.
#include <gtest/gtest.h>

#include <windows.h>

#include "BoundedPoll.h"
#include "PlatformQueries.h"
#include "PrivateDataFolders.h"
#include "ProcessStart.h"
#include "RunMarkerWaits.h"
#include "ScopedEnvironment.h"
#include "UpdateTempFolder.h"
#include "UpdaterSwitches.h"
#include "UpdaterTestSupport.h"
#include "modCommon.h"

using namespace tessaly;
using namespace tessaly::updater;
using namespace updater_test;

namespace {

class MarkerFolder : public ::testing::Test {
protected:
    std::wstring Folder() const { return m_folders.Root() + L"markers\\"; }
    void Put(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        WriteFileBytes(Folder() + name, "1");
        ::SetFileAttributesW((Folder() + name).c_str(), attributes);
    }
    testsupport::PrivateDataFolders m_folders{L"tessaly_markers_", true};
};

std::wstring g_goingMarker;
void CALLBACK DeleteGoingMarker(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::DeleteFileW(g_goingMarker.c_str());
}

}  // namespace

TEST_F(MarkerFolder, OnlyOtherMarkersCount) {
    WriteFileBytes(Folder() + L"readme.txt", "no marker");
    EXPECT_FALSE(IsOtherRunMarkerPresent(L"zdvinstalling", Folder()));
    Put(L"ZDVInstalling.RUN");
    EXPECT_FALSE(IsOtherRunMarkerPresent(L"zdvinstalling", Folder()));
    Put(L"hidden.run", FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(IsOtherRunMarkerPresent(L"zdvinstalling", Folder()));
    // The outside engine's marker counts like any program's.
    Put(L"zdvcore.run");
    EXPECT_TRUE(IsOtherRunMarkerPresent(L"zdvinstalling", Folder()));
    EXPECT_TRUE(IsOtherRunMarkerPresent(L"zdvcore", Folder()));
    EXPECT_FALSE(IsOtherRunMarkerPresent(L"zdvinstalling", m_folders.Root() + L"nowhere\\"));
}

TEST_F(MarkerFolder, WaitForOthersEndsOnceNoOtherMarkerIsLeft) {
    Put(L"zdvinstalling.run");
    EXPECT_TRUE(WaitOtherProgramsExit(100, 60, Folder()));
    Put(L"zdvguard.run");
    EXPECT_FALSE(WaitOtherProgramsExit(50, 10, Folder()));
    // The wait keeps looking: a marker that goes while it runs ends it.
    g_goingMarker = Folder() + L"zdvguard.run";
    ::SetTimer(nullptr, 0, 100, &DeleteGoingMarker);
    EXPECT_TRUE(WaitOtherProgramsExit(50, 200, Folder()));
}

TEST_F(MarkerFolder, WaitForAMarkerSeesOneMadeByAnotherProcess) {
    EXPECT_FALSE(WaitForRunMarker(L"zdvinstalling", 50, 4));
    // The test package makes the installing marker in the per-machine data folder.
    WriteFileBytes(m_folders.CommonDataFolder() + L"testpackage.cfg", "hold=3000\r\n");
    ProcessHandles package;
    ASSERT_TRUE(StartProcess(TestBinFolder() + L"updater_testpackage.exe", L"", package));
    EXPECT_TRUE(WaitForRunMarker(L"zdvinstalling", 100, 50));
    ::WaitForSingleObject(package.process.get(), 10000);
    EXPECT_FALSE(IsRunMarkerPresent(L"zdvinstalling"));
}

TEST(UpdaterProcessStart, QuotesThePathOnce) {
    EXPECT_EQ(StartProcessCommand(L"C:\\a b\\p.exe", L"x"), L"\"C:\\a b\\p.exe\" x");
    EXPECT_EQ(StartProcessCommand(L"C:\\p.exe", L""), L"\"C:\\p.exe\" ");
    EXPECT_EQ(StartProcessCommand(L"\"C:\\a b\\p.exe\"", L"x"), L"\"C:\\a b\\p.exe\" x");
}

TEST(UpdaterProcessStart, KeepsTheProcessHandleToWaitOn) {
    testsupport::PrivateDataFolders folders(L"tessaly_start_", true);
    WriteFileBytes(folders.CommonDataFolder() + L"testpackage.cfg", "marker=0\r\nhold=200\r\n");
    ProcessHandles package;
    ASSERT_TRUE(StartProcess(TestBinFolder() + L"updater_testpackage.exe", L"/verysilent /installpath \"C:\\x\\\"", package));
    EXPECT_TRUE(package.process);
    EXPECT_FALSE(package.thread);
    EXPECT_NE(package.processId, 0u);
    EXPECT_EQ(::WaitForSingleObject(package.process.get(), 10000), WAIT_OBJECT_0);
    const auto runs = ReadUtf8Lines(folders.CommonDataFolder() + L"testpackage.log");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], TestBinFolder() + L"updater_testpackage.exe|/verysilent /installpath \"C:\\x\\\"");

    ProcessHandles none;
    EXPECT_FALSE(StartProcess(folders.Root() + L"missing.exe", L"", none));
    EXPECT_FALSE(none.process);
}

TEST(UpdaterPlatform, ElevationAndVersion) {
    // Wine gives every process an elevated token.
    EXPECT_TRUE(IsProcessElevated());
    EXPECT_GE(GetOsMajorVersion(), 5);
}

TEST(UpdaterPlatform, UpdateTemporaryFolderAndFileNames) {
    testsupport::PrivateDataFolders folders(L"tessaly_temp_", true);
    const std::wstring folder = GetUpdateTempFolder();
    EXPECT_EQ(folder, folders.Root() + L"Temp\\zdvupdate_tmp\\");
    EXPECT_TRUE(DirLookup(folder, kLookupDirectory));
    const std::wstring first = GetUpdateTempFileName();
    const std::wstring second = GetUpdateTempFileName();
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(folder + L"kwt", 0), 0u) << first;
    EXPECT_EQ(first.find(L'\0'), std::wstring::npos);
    EXPECT_TRUE(FileExists(first));
    EXPECT_TRUE(ReadFileBytes(first).empty());

    // A TEMP that does not exist: the path still comes back, no file name does.
    testsupport::ScopedEnvironmentVariable temp(L"TEMP", folders.Root() + L"gone\\deeper");
    EXPECT_EQ(GetUpdateTempFolder(), folders.Root() + L"gone\\deeper\\zdvupdate_tmp\\");
    EXPECT_EQ(GetUpdateTempFileName(), L"");
}

TEST(UpdaterSwitchesTest, SwitchesCountAnywhereInAnyCase) {
    UpdaterSwitches s = ParseSwitches(L"/UI /MANUAL");
    EXPECT_TRUE(s.ui);
    EXPECT_TRUE(s.manual);
    EXPECT_FALSE(s.upgrading);
    s = ParseSwitches(L"/upgrading /installpath \"D:\\Program Files\\Tessaly\\\"");
    EXPECT_TRUE(s.upgrading);
    EXPECT_TRUE(s.installPath);
    EXPECT_EQ(s.installFolder, L"d:\\program files\\tessaly\\");
    EXPECT_FALSE(s.ui);
    // Without the blank the switches do not count; without quotes there is no folder.
    s = ParseSwitches(L"/upgrading/installpath");
    EXPECT_FALSE(s.upgrading);
    EXPECT_FALSE(s.installPath);
    s = ParseSwitches(L"/upgrading /installpath C:\\x\\");
    EXPECT_TRUE(s.installPath);
    EXPECT_EQ(s.installFolder, L"");
    s = ParseSwitches(L"/installpath \"C:\\never closed");
    EXPECT_EQ(s.installFolder, L"");
    EXPECT_EQ(InstallPathArgument(L"C:\\p\\"), L"/installpath \"C:\\p\\\"");
}
