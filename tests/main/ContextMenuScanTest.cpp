// The scan verb in HKEY_CLASSES_ROOT: registration, the ".xls" skip test, removal, and the
// folder that goes into the command line.
#include <gtest/gtest.h>

#include "AppSettingsApply.h"
#include "ContextMenuScan.h"
#include "MainTestSupport.h"

using namespace tessaly;
using namespace tessaly::context_menu;
using maintest::ClassesRootDefault;
using maintest::ClassesRootKeyExists;

namespace {

const std::wstring kFolderA = L"C:\\Tessaly Test A\\";
const std::wstring kFolderB = L"C:\\Tessaly Test B\\";

class ContextMenuScanTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveVerbs(); }
    maintest::RegistrySnapshot m_snapshot;
};

void ExpectAllVerbs(const std::wstring& commandLine) {
    for (const std::wstring& key : AllVerbKeys()) {
        EXPECT_EQ(ClassesRootDefault(key).value_or(L"<missing>"), kVerbCaption) << key;
        EXPECT_EQ(ClassesRootDefault(key + kCommandSuffix).value_or(L"<missing>"), commandLine) << key;
    }
}

void ExpectNoVerbs() {
    for (const std::wstring& key : AllVerbKeys()) EXPECT_FALSE(ClassesRootKeyExists(key)) << key;
}

}  // namespace

TEST(ContextMenuNames, CommandLineAndKeysInListOrder) {
    EXPECT_EQ(BuildScanCommandLine(L"C:\\Program Files\\Tessaly\\"),
              L"\"C:\\Program Files\\Tessaly\\drossel.exe\" /sf %1");
    const auto keys = AllVerbKeys();
    EXPECT_EQ(keys.front(), L"SystemFileAssociations\\.doc\\shell\\Mendwick");
    EXPECT_EQ(keys[4], L"SystemFileAssociations\\.xls\\shell\\Mendwick");
    EXPECT_EQ(keys[8], L"SystemFileAssociations\\.xlsx\\shell\\Mendwick");
    EXPECT_EQ(keys.back(), L"Folder\\shell\\Mendwick");
}

TEST(ContextMenuNames, SwitchValuesOutsideTheCheckBoxRangeReadAsTicked) {
    EXPECT_EQ(NormalizeSwitch(0), 0);
    EXPECT_EQ(NormalizeSwitch(1), 1);
    EXPECT_EQ(NormalizeSwitch(2), 2);
    EXPECT_EQ(NormalizeSwitch(3), 1);
    EXPECT_EQ(NormalizeSwitch(-1), 1);
}

TEST_F(ContextMenuScanTest, OneRegistersTenVerbsAndOtherValuesRemoveThem) {
    ApplyRightMenuScan(1, kFolderA);
    ExpectAllVerbs(BuildScanCommandLine(kFolderA));
    EXPECT_TRUE(IsRegistered(BuildScanCommandLine(kFolderA)));

    ApplyRightMenuScan(0, kFolderA);
    ExpectNoVerbs();
    EXPECT_FALSE(IsRegistered(BuildScanCommandLine(kFolderA)));
    ApplyRightMenuScan(0, kFolderA);  // removing what is gone is no error
    ExpectNoVerbs();

    ApplyRightMenuScan(1, kFolderA);
    ApplyRightMenuScan(2, kFolderA);  // grey counts as off
    ExpectNoVerbs();
}

TEST_F(ContextMenuScanTest, MatchingXlsCommandInOtherCaseLeavesEverythingAlone) {
    ApplyRightMenuScan(1, kFolderA);
    ::SHDeleteKeyW(HKEY_CLASSES_ROOT, FileTypeVerbKey(L".docx").c_str());
    std::wstring upper = BuildScanCommandLine(kFolderA);
    for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
    SetClassesRootDefaultValue(FileTypeVerbKey(L".xls") + kCommandSuffix, upper);

    ApplyRightMenuScan(1, kFolderA);
    EXPECT_FALSE(ClassesRootKeyExists(FileTypeVerbKey(L".docx")));
    EXPECT_EQ(ClassesRootDefault(FileTypeVerbKey(L".xls") + kCommandSuffix).value_or(L""), upper);
}

TEST_F(ContextMenuScanTest, MovedProgramFolderRewritesEveryKey) {
    ApplyRightMenuScan(1, kFolderA);
    ApplyRightMenuScan(1, kFolderB);
    ExpectAllVerbs(BuildScanCommandLine(kFolderB));
}

TEST_F(ContextMenuScanTest, EmptyOrMissingXlsCommandLeadsToFullRegistration) {
    SetClassesRootDefaultValue(FileTypeVerbKey(L".xls") + kCommandSuffix, L"");
    ApplyRightMenuScan(1, kFolderA);
    ExpectAllVerbs(BuildScanCommandLine(kFolderA));

    ::SHDeleteKeyW(HKEY_CLASSES_ROOT, FileTypeVerbKey(L".xls").c_str());
    ::SHDeleteKeyW(HKEY_CLASSES_ROOT, kFolderVerbKey);
    ApplyRightMenuScan(1, kFolderA);
    ExpectAllVerbs(BuildScanCommandLine(kFolderA));
}

TEST_F(ContextMenuScanTest, ProgramFolderOutsideTheCodePageKeepsItsCharacters) {
    const std::wstring folder = L"C:\\Tessaly \u00e9\u0416\u4e2d\\";
    ApplyRightMenuScan(1, folder);
    ExpectAllVerbs(BuildScanCommandLine(folder));
    EXPECT_TRUE(IsRegistered(BuildScanCommandLine(folder)));
}
