// The package cache: every condition GetCachedPackage tests, clearing with the file, and the
// temporary copy of the updater started from the update temporary folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "BoundedPoll.h"
#include "IniOperation.h"
#include "PrivateDataFolders.h"
#include "UpdateService.h"
#include "UpdaterTestSupport.h"
#include "modCommon.h"
#include "modPackageCache.h"

using namespace tessaly;
using namespace tessaly::updater;
using namespace updater_test;

namespace {

class PackageCacheTest : public ::testing::Test {
protected:
    void SetUp() override { m_config = GetConfigFilePath(); }

    // A cache as the updater writes it: today's date, the size and the upper-case digest.
    void WriteCache(const std::string& bytes) {
        WriteFileBytes(CachedPackagePath(), bytes);
        WriteKeys(GetDateText(), std::to_wstring(bytes.size()), Widen(Md5Of(bytes)));
    }
    void WriteKeys(const std::wstring& date, const std::wstring& size, const std::wstring& hash) {
        WriteIniString(m_config, ini::kUpdate, ini::kCacheDate, date);
        WriteIniString(m_config, ini::kUpdate, ini::kPackageSize, size);
        WriteIniString(m_config, ini::kUpdate, ini::kPackageHash, hash);
    }
    std::wstring Key(const wchar_t* key) { return ReadIniString(m_config, ini::kUpdate, key, L"(missing)"); }
    void ExpectCleared(bool fileGone = true) {
        EXPECT_EQ(Key(ini::kCacheDate), L"(missing)");  // empty reads as the default
        EXPECT_EQ(Key(ini::kPackageSize), L"0");
        EXPECT_EQ(Key(ini::kPackageHash), L"(missing)");
        if (fileGone) {
            EXPECT_FALSE(FileExists(CachedPackagePath()));
        }
    }

    testsupport::PrivateDataFolders m_folders{L"tessaly_cache_", true};
    std::wstring m_config;
    const std::string m_package = InertBytes(5000);
};

}  // namespace

TEST_F(PackageCacheTest, TodaysMatchingCacheIsValid) {
    WriteCache(m_package);
    const CachedPackageInfo record = GetCachedPackage();
    EXPECT_TRUE(record.Valid);
    EXPECT_EQ(record.PackageSize, 5000);
    EXPECT_EQ(record.CacheDate, GetDateText());
    EXPECT_EQ(record.PackagePath, GetUserDataFolder() + L"\\zdvupdatepkg.exe");
    EXPECT_TRUE(FileExists(record.PackagePath));
    // The digest matches in either letter case.
    std::wstring lower = Widen(Md5Of(m_package));
    for (wchar_t& c : lower) c = static_cast<wchar_t>(::towlower(c));
    WriteIniString(m_config, ini::kUpdate, ini::kPackageHash, lower);
    EXPECT_TRUE(GetCachedPackage().Valid);
}

TEST_F(PackageCacheTest, EachFailedConditionClearsTheCache) {
    const std::wstring size = std::to_wstring(m_package.size());
    const std::wstring hash = Widen(Md5Of(m_package));
    struct Case {
        const char* what;
        std::wstring date, size, hash;
        std::string file;
        bool withFile;
    };
    const std::vector<Case> cases{
        {"no date", L"", size, hash, m_package, true},
        {"size 0", GetDateText(), L"0", hash, m_package, true},
        {"no digest", GetDateText(), size, L"", m_package, true},
        {"no file", GetDateText(), size, hash, m_package, false},
        {"yesterday", L"01-01-2000", size, hash, m_package, true},
        {"other length", GetDateText(), size, hash, m_package + "x", true},
        {"altered bytes", GetDateText(), size, hash, InertBytes(4999) + "!", true},
        {"other digest", GetDateText(), size, L"00112233445566778899AABBCCDDEEFF", m_package, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.withFile) WriteFileBytes(CachedPackagePath(), c.file);
        WriteKeys(c.date, c.size, c.hash);
        EXPECT_FALSE(GetCachedPackage().Valid);
        ExpectCleared();
    }
}

TEST_F(PackageCacheTest, SizeThatIsNoNumberBlanksTheKeysAndTheFileGoesNextTime) {
    WriteFileBytes(CachedPackagePath(), m_package);
    WriteKeys(GetDateText(), L"12abc", Widen(Md5Of(m_package)));
    EXPECT_FALSE(GetCachedPackage().Valid);
    ExpectCleared(false);
    EXPECT_TRUE(FileExists(CachedPackagePath()));
    EXPECT_FALSE(GetCachedPackage().Valid);
    ExpectCleared(true);
}

TEST_F(PackageCacheTest, ClearWritesTheKeysAndDeletesTheFile) {
    WriteCache(m_package);
    ClearCachedPackage(CachedPackagePath());
    ExpectCleared();
    ClearCachedPackage(L"");  // no path: only the keys
    ExpectCleared();
}

TEST_F(PackageCacheTest, StartsTheCopyFromTheUpdateTemporaryFolder) {
    // The test package stands in for the updater, so the start can be seen in its log.
    const std::wstring program = m_folders.Root() + L"prog\\";
    WriteFileBytes(program + L"zdvshengji.exe", ReadFileBytes(TestBinFolder() + L"updater_testpackage.exe"));
    WriteFileBytes(m_folders.CommonDataFolder() + L"testpackage.cfg", "marker=0\r\nhold=0\r\n");
    ASSERT_TRUE(StartUpgraderCopy(program));
    const std::wstring copy = m_folders.Root() + L"Temp\\zdvupdate_tmp\\zdvshengji.exe";
    EXPECT_TRUE(FileExists(copy));
    const std::wstring log = m_folders.CommonDataFolder() + L"testpackage.log";
    PollPlan plan;
    plan.deadlineMs = 10000;
    plan.stepMs = 50;
    ASSERT_EQ(PollUntil([&] { return !ReadUtf8Lines(log).empty(); }, plan), PollResult::Done);
    EXPECT_EQ(ReadUtf8Lines(log).front(), copy + L"|/upgrading /installpath \"" + program + L"\"");
}

TEST_F(PackageCacheTest, CopyFailsWithoutTheUpdater) {
    EXPECT_FALSE(StartUpgraderCopy(m_folders.Root() + L"empty\\"));
}

TEST(PackageCacheNumbers, WholeNumbersOfThe32BitRange) {
    EXPECT_EQ(ParseInt32(L"31"), 31);
    EXPECT_EQ(ParseInt32(L" -7 "), -7);
    EXPECT_EQ(ParseInt32(L"2147483647"), 2147483647);
    EXPECT_FALSE(ParseInt32(L"2147483648"));
    EXPECT_FALSE(ParseInt32(L"12abc"));
    EXPECT_FALSE(ParseInt32(L""));
    EXPECT_FALSE(ParseInt32(L"3.5"));
}
