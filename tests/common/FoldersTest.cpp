// Program, per-user and per-machine folders as the environment names them, and the version text
// of this very executable.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>

#include "TestSupport.h"
#include "modCommon.h"

using namespace tessaly;

namespace {
// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value) : m_name(name) {
        wchar_t old[4096] = {};
        m_had = ::GetEnvironmentVariableW(name, old, 4096) > 0;
        m_old = old;
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnv() { ::SetEnvironmentVariableW(m_name, m_had ? m_old.c_str() : nullptr); }

private:
    const wchar_t* m_name;
    bool m_had = false;
    std::wstring m_old;
};
}  // namespace

TEST(Folders, ProgramFolderEndsInBackslashAndHoldsThisExe) {
    const std::wstring folder = GetAppFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_TRUE(DirLookup(folder + L"common_tests.exe"));
}

TEST(Folders, PerUserFolderFollowsAppData) {
    {
        ScopedEnv env(L"AppData", L"C:\\Users\\u\\AppData\\Roaming\\");
        EXPECT_EQ(GetUserDataFolder(), L"C:\\Users\\u\\AppData\\Roaming\\Tessaly");
    }
    ScopedEnv env(L"AppData", nullptr);
    EXPECT_EQ(GetUserDataFolder(), L"\\Tessaly");
}

TEST(Folders, PerMachineFolderIsCreatedOrFallsBackToProgramFolder) {
    const std::wstring base = testsupport::FreshFolder(L"pd");
    {
        ScopedEnv env(L"ProgramData", (base + L"deeper").c_str());
        EXPECT_EQ(GetCommonDataFolder(), base + L"deeper\\Tessaly\\");
        EXPECT_TRUE(DirLookup(base + L"deeper\\Tessaly", kLookupDirectory));
    }
    ScopedEnv env(L"ProgramData", nullptr);
    EXPECT_EQ(GetCommonDataFolder(), GetAppFolder());
}

TEST(Folders, WindowsFolderAndExplorer) {
    const std::wstring windows = GetWindowsFolder();
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.back(), L'\\');
    EXPECT_EQ(GetExplorerPath(), windows + L"explorer.exe");
}

TEST(Folders, OwnVersionAndPlatformAndDateText) {
    EXPECT_EQ(GetAppVersion(), TESSALY_VERSION_TEXT);
    EXPECT_FALSE(IsWinXPOrEarlier());
    const std::wstring date = GetDateText();
    ASSERT_EQ(date.size(), 10u);
    EXPECT_EQ(date[2], L'-');
    EXPECT_EQ(date[5], L'-');
    EXPECT_TRUE(std::iswdigit(date[9]));
}

TEST(DirLookup, FindsHiddenOnlyWhenAskedAndNeverSystemEntries) {
    const std::wstring folder = testsupport::FreshFolder(L"lookup");
    const std::wstring hidden = folder + L"h.txt", system = folder + L"s.txt", plain = folder + L"p.txt";
    for (const auto& p : {hidden, system, plain}) testsupport::WriteBytes(p, "x");
    ::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(DirLookup(plain));
    EXPECT_FALSE(DirLookup(hidden));
    EXPECT_TRUE(DirLookup(hidden, kLookupHidden));
    EXPECT_FALSE(DirLookup(system, kLookupHidden | kLookupDirectory));
    EXPECT_FALSE(DirLookup(folder));
    EXPECT_TRUE(DirLookup(folder, kLookupDirectory));
    EXPECT_FALSE(DirLookup(folder + L"*.txt"));
    EXPECT_FALSE(DirLookup(L""));
    EXPECT_TRUE(DirLookup(L"C:\\", kLookupDirectory));
    EXPECT_FALSE(DirLookup(L"C:", kLookupNormal));
    EXPECT_FALSE(DirLookup(L"Q:\\", kLookupDirectory));
}
