// The Office part of the quick-scan target list: the settings-file library folder, then every
// collector's findings, each entry once.
#include "OfficeTestSupport.h"
#include "modGetOfficeInfo.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessaly::test {
namespace {

using List = std::vector<std::wstring>;

class OfficeScanTargets : public ::testing::Test {
protected:
    NoAssociations m_none;
    RegistryKeyGuard m_office{HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\2021.0"};
    RegistryKeyGuard m_kingsoft{HKEY_CURRENT_USER, L"Software\\Kingsoft\\Office"};
    TempFolder m_folder;
    TempFolder m_profiles{true};
    std::wstring m_appData = m_profiles.MakeDir(L"alice\\Roaming");
    testsupport::ScopedEnvironmentVariable m_env{L"AppData", m_appData};
    std::wstring m_config = m_folder.MakeFile(L"config.dat", "");

    void WriteInstallPath(const std::wstring& folder) {
        ::WritePrivateProfileStringW(L"Office", L"InstallPath", folder.c_str(), m_config.c_str());
    }
};

TEST_F(OfficeScanTargets, LibraryThenEveryCollectorWithSharedEntriesOnce) {
    const std::wstring exe = m_folder.CopyOfThisProgram(L"Office16\\WINWORD.EXE");
    Association docx(L".docx", UniqueName(L"TessalyTest.Word"), L"\"" + exe + L"\" /n \"%1\"");
    const std::wstring library = m_folder.MakeDir(L"Office16\\Library");
    WriteInstallPath(m_folder.path() + L"\\Office16\\");
    const std::wstring startup = m_folder.MakeDir(L"Office16\\STARTUP");
    const std::wstring templates = m_profiles.MakeDir(L"alice\\Roaming\\Microsoft\\Templates");
    // The user's template folder is also a trusted location: it must appear once.
    SetRegText(HKEY_CURRENT_USER,
               L"Software\\Microsoft\\Office\\2021.0\\Word\\Security\\Trusted Locations\\Location0", L"Path",
               L"%AppData%\\Microsoft\\Templates\\");
    const std::wstring recent = m_folder.MakeFile(L"Docs\\Recent.docx");
    SetRegText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\2021.0\\Word\\File MRU", L"Item 1",
               L"[F00000000][T01D7]*" + recent);
    const std::wstring wpsDoc = m_folder.MakeFile(L"Docs\\Wps.doc");
    std::wstring slashed = wpsDoc;
    for (auto& c : slashed)
        if (c == L'\\') c = L'/';
    SetRegText(HKEY_CURRENT_USER, L"Software\\Kingsoft\\Office\\11.1.0\\wps\\RecentFiles\\Sequence", slashed, L"1");
    SetRegText(HKEY_CURRENT_USER, L"Software\\Kingsoft\\Office\\11.1.0\\wps\\RecentFiles\\Sequence",
               Lower(recent), L"1");  // no "/" : ignored

    List targets{L"c:\\desktop"};
    ASSERT_EQ(GetOfficeScanTargets(m_config, targets, false), 6);
    ASSERT_EQ(targets.size(), 6u);
    EXPECT_EQ(targets[0], L"c:\\desktop");
    EXPECT_EQ(Lower(targets[1]), Lower(library));
    EXPECT_EQ(targets[2], Lower(startup));
    EXPECT_EQ(targets[3], Lower(templates));
    EXPECT_EQ(targets[4], Lower(recent));
    EXPECT_EQ(targets[5], Lower(wpsDoc));
}

TEST_F(OfficeScanTargets, SkipFlagLeavesTheLibraryOut) {
    m_folder.MakeDir(L"Office16\\Library");
    WriteInstallPath(m_folder.path() + L"\\Office16");
    List targets;
    EXPECT_EQ(GetOfficeScanTargets(m_config, targets, true), 0);
    EXPECT_TRUE(targets.empty());
    EXPECT_EQ(GetOfficeScanTargets(m_config, targets, false), 1);
}

TEST_F(OfficeScanTargets, InstallPathWithoutLibraryAddsNothing) {
    WriteInstallPath(m_folder.path() + L"\\Office16");
    List targets{L"c:\\desktop"};
    EXPECT_EQ(GetOfficeScanTargets(m_config, targets, false), 1);
    EXPECT_EQ(targets, List{L"c:\\desktop"});
}

}  // namespace
}  // namespace tessaly::test
