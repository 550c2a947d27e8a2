// Installation through the package cache: an updater that finds today's cache at start hands it to
// its temporary copy, which holds the installing marker, waits for the other programs, runs the
// package into the program folder and clears the cache; the copy gives up while another program
// stays; a cache that was altered is never run; Windows XP refuses the copy's installation.
#include <gtest/gtest.h>

#include <windows.h>

#include "BoxWatcher.h"
#include "IniOperation.h"
#include "Polling.h"
#include "TextConvert.h"
#include "UpdateTexts.h"
#include "UniqueHandle.h"
#include "UpdaterProgram.h"
#include "modCommon.h"

using namespace tessaly;
using namespace tessaly::updater;
using namespace updater_test;

namespace {

std::wstring CachedPackage(const UpdaterFolders& folders) { return folders.UserDataFolder() + L"zdvupdatepkg.exe"; }

// Wine reports the version of Windows an application key in its settings names.
class ReportedWindowsVersion {
public:
    ReportedWindowsVersion(const wchar_t* program, const wchar_t* version)
        : m_key(std::wstring(L"Software\\Wine\\AppDefaults\\") + program) {
        unique_hkey key;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) ==
            ERROR_SUCCESS)
            ::RegSetValueExW(key.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                             static_cast<DWORD>((std::wcslen(version) + 1) * sizeof(wchar_t)));
    }
    ~ReportedWindowsVersion() { ::RegDeleteTreeW(HKEY_CURRENT_USER, m_key.c_str()); }
    ReportedWindowsVersion(const ReportedWindowsVersion&) = delete;
    ReportedWindowsVersion& operator=(const ReportedWindowsVersion&) = delete;

private:
    std::wstring m_key;
};

}  // namespace

TEST_F(UpdaterProgramTest, CachedPackageIsInstalledByTheTemporaryCopy) {
    Today();
    const std::string package = PackageBytes(400000);
    WriteCache(package);
    auto updater = Start(L"");
    // The updater ends as soon as its copy holds the installing marker.
    ASSERT_TRUE(Ended(*updater));
    const std::wstring copy = m_folders.UpdateTempFolder() + L"zdvshengji.exe";
    EXPECT_TRUE(FileExists(copy));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ProcessesFromFolder(m_folders.UpdateTempFolder()).empty() &&
                                            !m_folders.PackageRuns().empty(); },
                               kProgramTimeoutMs));
    const auto runs = m_folders.PackageRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], CachedPackage(m_folders) + L"|/verysilent /installpath \"" + ToLowerText(m_program) + L"\"");
    EXPECT_TRUE(FileExists(m_program + L"installed.txt"));
    EXPECT_TRUE(FileExists(m_program + L"lastupdate.log"));
    // The copy cleared the cache after the package ended.
    EXPECT_FALSE(FileExists(CachedPackage(m_folders)));
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kPackageSize), L"0");
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kCacheDate), L"(missing)");
    EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));
    EXPECT_TRUE(m_service.Posts().empty());
}

TEST_F(UpdaterProgramTest, CopyGivesUpWhileAnotherProgramStays) {
    Stage(Build::kQuickWaits);
    Today();
    const std::string package = PackageBytes(400000);
    WriteCache(package);
    // The scan engine does not close for an installation; its marker keeps the copy waiting.
    const std::wstring engineMarker = m_folders.CommonDataFolder() + L"zdvcore.run";
    unique_file held(::CreateFileW(engineMarker.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(held);
    auto updater = Start(L"");
    ASSERT_TRUE(Ended(*updater));
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ProcessesFromFolder(m_folders.UpdateTempFolder()).empty(); },
                               kProgramTimeoutMs));
    EXPECT_TRUE(m_folders.PackageRuns().empty());
    EXPECT_FALSE(FileExists(m_program + L"installed.txt"));
    // The cache stays for another try today.
    EXPECT_EQ(ReadFileBytes(CachedPackage(m_folders)), package);
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kPackageSize), std::to_wstring(package.size()));
    EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));
}

TEST_F(UpdaterProgramTest, CacheAlteredWhileTheCopyWaitsIsNeverRun) {
    Stage(Build::kQuickWaits);
    Today();
    const std::string package = PackageBytes(400000);
    WriteCache(package);
    const std::wstring engineMarker = m_folders.CommonDataFolder() + L"zdvcore.run";
    unique_file held(::CreateFileW(engineMarker.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(held);
    auto updater = Start(L"");
    ASSERT_TRUE(Ended(*updater));  // the copy holds the installing marker and waits for the engine
    std::string altered = package;
    altered[altered.size() - 10] ^= 0x55;  // in the padding: the program itself still runs
    WriteFileBytes(CachedPackage(m_folders), altered);
    held.reset();
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ProcessesFromFolder(m_folders.UpdateTempFolder()).empty(); },
                               kProgramTimeoutMs));
    EXPECT_TRUE(m_folders.PackageRuns().empty());
    EXPECT_FALSE(FileExists(CachedPackage(m_folders)));
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kPackageSize), L"0");
}

TEST_F(UpdaterProgramTest, AlteredCacheIsClearedAndNeverRun) {
    Today();
    const std::string package = PackageBytes(400000);
    WriteCache(package);
    std::string altered = package;
    altered[altered.size() - 1] ^= 0x55;
    WriteFileBytes(CachedPackage(m_folders), altered);
    auto updater = Start(L"");
    ASSERT_TRUE(Ended(*updater));
    EXPECT_FALSE(FileExists(CachedPackage(m_folders)));
    EXPECT_EQ(m_folders.Setting(ini::kUpdate, ini::kPackageHash), L"(missing)");
    EXPECT_FALSE(FileExists(m_folders.UpdateTempFolder() + L"zdvshengji.exe"));
    EXPECT_TRUE(m_folders.PackageRuns().empty());
}

TEST_F(UpdaterProgramTest, CopyWithoutAQuotedFolderInstallsNothing) {
    Today();
    WriteCache(PackageBytes(400000));
    auto copy = Start(L"/upgrading /installpath C:\\nowhere\\");
    ASSERT_TRUE(Ended(*copy));
    EXPECT_TRUE(m_folders.PackageRuns().empty());
    EXPECT_FALSE(MarkerPresent(L"zdvinstalling"));
    EXPECT_TRUE(FileExists(CachedPackage(m_folders)));
}

TEST_F(UpdaterProgramTest, WindowsXpRefusesTheCopysInstallation) {
    ReportedWindowsVersion xp(L"zdvshengji.exe", L"winxp64");
    Today();
    WriteCache(PackageBytes(400000));
    auto copy = Start(L"/upgrading /installpath \"" + m_program + L"\"");
    e2e::BoxWatcher boxes(copy->Id());
    ASSERT_TRUE(boxes.WaitForBoxes(kUpdaterTitle, 1, kProgramTimeoutMs));
    ASSERT_TRUE(Ended(*copy));
    EXPECT_EQ(boxes.Seen()[0].text, kXpNotSupported);
    EXPECT_TRUE(m_folders.PackageRuns().empty());
    EXPECT_TRUE(FileExists(CachedPackage(m_folders)));
}
