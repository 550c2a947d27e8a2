// Template folders of every user profile, and the start-up, templates and trusted-location
// folders of the installed Word.
#include "OfficeTestSupport.h"
#include "modGetOfficeInfo.h"

#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

using List = std::vector<std::wstring>;

// A profiles folder right below C:\ (the search takes the first two levels of AppData as it),
// with the current user "alice" and her AppData under ...\alice\Roaming.
class TemplateFolders : public ::testing::Test {
protected:
    TempFolder m_profiles{true};
    std::wstring m_appData = m_profiles.MakeDir(L"alice\\Roaming");
    testsupport::ScopedEnvironmentVariable m_env{L"AppData", m_appData};
};

TEST_F(TemplateFolders, CurrentUserFirstThenOtherProfilesInSubFolderOrder) {
    const std::wstring aliceWord = m_profiles.MakeDir(L"alice\\Roaming\\Microsoft\\Word");
    const std::wstring aliceTemplates = m_profiles.MakeDir(L"alice\\Roaming\\Microsoft\\Templates");
    const std::wstring bobExcel = m_profiles.MakeDir(L"bob\\Roaming\\Microsoft\\Excel");
    m_profiles.MakeDir(L".hidden\\Roaming\\Microsoft\\Word");  // names beginning with "." are skipped
    m_profiles.MakeDir(L"carol\\Roaming\\Microsoft\\Other");
    // A hidden profile folder is not found by the listing, as "Default" is not on Windows.
    m_profiles.MakeDir(L"dave\\Roaming\\Microsoft\\Word");
    ::SetFileAttributesW((m_profiles.path() + L"\\dave").c_str(), FILE_ATTRIBUTE_HIDDEN);
    m_profiles.MakeFile(L"notes.txt");

    List folders{L"c:\\earlier"};
    ASSERT_EQ(GetUserTemplateFolders(folders), 4);
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders[0], L"c:\\earlier");
    EXPECT_EQ(Lower(folders[1]), Lower(aliceTemplates));
    EXPECT_EQ(Lower(folders[2]), Lower(aliceWord));
    EXPECT_EQ(Lower(folders[3]), Lower(bobExcel));
}

TEST_F(TemplateFolders, FoldersAlreadyListedAreNotAddedAgain) {
    const std::wstring word = m_profiles.MakeDir(L"alice\\Roaming\\Microsoft\\Word");
    List folders{Lower(word)};
    EXPECT_EQ(GetUserTemplateFolders(folders), 0);
    EXPECT_EQ(folders, List{Lower(word)});
}

TEST_F(TemplateFolders, MissingOrEmptyAppDataGivesZero) {
    List folders;
    {
        testsupport::ScopedEnvironmentVariable missing(L"AppData", m_appData + L"\\nothere");
        EXPECT_EQ(GetUserTemplateFolders(folders), 0);
    }
    {
        testsupport::ScopedEnvironmentVariable empty(L"AppData", L"");
        EXPECT_EQ(GetUserTemplateFolders(folders), 0);
    }
    EXPECT_EQ(GetUserTemplateFolders(folders), 0);  // the folder exists but holds no template folder
    EXPECT_TRUE(folders.empty());
}

// Word 2021 installed under <temp>\Microsoft Office\root\Office16 with its start-up folders.
class StartupFolders : public ::testing::Test {
protected:
    NoAssociations m_none;
    TempFolder m_folder;
    std::wstring m_exe = m_folder.CopyOfThisProgram(L"Microsoft Office\\root\\Office16\\WINWORD.EXE");
    Association m_docx{L".docx", UniqueName(L"TessalyTest.Word"), L"\"" + m_exe + L"\" /n \"%1\""};
    RegistryKeyGuard m_office{HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\2021.0"};
    TempFolder m_appData;
    testsupport::ScopedEnvironmentVariable m_env{L"APPDATA", m_appData.path()};

    static void SetLocation(const wchar_t* app, int n, const std::wstring& path, DWORD type = REG_SZ) {
        SetRegText(HKEY_CURRENT_USER,
                   std::wstring(L"Software\\Microsoft\\Office\\2021.0\\") + app +
                       L"\\Security\\Trusted Locations\\Location" + std::to_wstring(n),
                   L"Path", path, type);
    }
};

TEST_F(StartupFolders, InstallFoldersThenTrustedLocationsUpToTheFirstGap) {
    const std::wstring startup = m_folder.MakeDir(L"Microsoft Office\\root\\Office16\\STARTUP");
    const std::wstring templates = m_folder.MakeDir(L"Microsoft Office\\root\\Templates");
    const std::wstring first = m_folder.MakeDir(L"Trusted\\First");
    const std::wstring third = m_folder.MakeDir(L"Trusted\\Third");
    const std::wstring expanded = m_appData.MakeDir(L"Microsoft\\Excel\\XLSTART");
    SetLocation(L"Excel", 0, L"  " + first + L"\\  ");
    SetLocation(L"Excel", 1, L"%APPDATA%\\Microsoft\\Excel\\XLSTART\\", REG_EXPAND_SZ);
    SetLocation(L"Excel", 3, third);  // Location2 is missing: never looked at
    SetLocation(L"Word", 0, L"%TESSALY_NO_SUCH_VARIABLE%\\Templates");
    SetLocation(L"Word", 1, startup + L"\\");  // already listed as the start-up folder
    SetLocation(L"Word", 2, m_folder.path() + L"\\Trusted\\Missing");

    List folders{L"old"};
    ASSERT_EQ(GetOfficeStartupFolders(folders), 4);
    EXPECT_EQ(folders, (List{Lower(startup), Lower(templates), Lower(first), Lower(expanded)}));
}

TEST_F(StartupFolders, NothingPresentLeavesTheListAlone) {
    SetLocation(L"Excel", 0, m_folder.path() + L"\\Trusted\\Missing");
    List folders{L"old"};
    EXPECT_EQ(GetOfficeStartupFolders(folders), 0);
    EXPECT_EQ(folders, List{L"old"});
}

}  // namespace
}  // namespace tessaly::test
