// The command line a program start builds, starting only existing files, and the autorun value
// in the real registry of the prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include "MSRegistryAPI.h"
#include "TestSupport.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

using namespace tessaly;

TEST(ShellRunCommand, QuotesOnlyWhenNeededAndNeverTwice) {
    EXPECT_EQ(BuildShellRunCommand(L"C:\\a\\b.exe", L"", false, false), L"C:\\a\\b.exe");
    EXPECT_EQ(BuildShellRunCommand(L"C:\\Program Files\\b.exe", L"", false, false), L"\"C:\\Program Files\\b.exe\"");
    EXPECT_EQ(BuildShellRunCommand(L"C:\\a\\b.exe", L"/manual", false, false), L"\"C:\\a\\b.exe\" /manual");
    EXPECT_EQ(BuildShellRunCommand(L"\"C:\\P Q\\b.exe\"", L"", false, false), L"\"C:\\P Q\\b.exe\"");
    EXPECT_EQ(BuildShellRunCommand(L"\"C:\\P Q\\b.exe\"", L"-x", false, false), L"\"C:\\P Q\\b.exe\" -x");
    // A blank in the first place does not count.
    EXPECT_EQ(BuildShellRunCommand(L" b.exe", L"", false, false), L" b.exe");
}

TEST(ShellRunCommand, ExplorerOnlyAfterXP) {
    EXPECT_EQ(BuildShellRunCommand(L"C:\\a\\b.exe", L"", true, false), GetExplorerPath() + L" C:\\a\\b.exe");
    EXPECT_EQ(BuildShellRunCommand(L"C:\\a\\b.exe", L"", true, true), L"C:\\a\\b.exe");
}

TEST(ShellRun, MissingOrHiddenFileStartsNothing) {
    const std::wstring folder = testsupport::FreshFolder(L"run");
    EXPECT_FALSE(ShellRun(folder + L"none.exe", L"", kWindowHidden));
    const std::wstring hidden = folder + L"hidden.exe";
    testsupport::WriteBytes(hidden, "MZ");
    ::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(ShellRunEx(hidden, L"", kWindowNormal, false));
}

TEST(ShellRun, NotAProgramFailsTheStart) {
    const std::wstring fake = testsupport::FreshFolder(L"run") + L"fake.exe";
    testsupport::WriteBytes(fake, "not a program");
    EXPECT_FALSE(ShellRun(fake, L"", kWindowHidden));
    EXPECT_TRUE(InitCommonControlClasses());
}

namespace {

// Keeps the prefix's autorun value as it was, and a kestrine.exe beside the test program.
class AutoRunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_hadValue = ReadRegValue(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName, m_saved) == ERROR_SUCCESS;
        m_tray = GetAppFolder() + L"kestrine.exe";
        if (!DirLookup(m_tray)) {
            testsupport::WriteBytes(m_tray, "MZ");
            m_madeTray = true;
        }
    }
    void TearDown() override {
        if (m_madeTray) ::DeleteFileW(m_tray.c_str());
        const auto* text = std::get_if<std::wstring>(&m_saved);
        if (m_hadValue && text)
            Write(*text);
        else
            SetAutoRun(false);
    }
    static void Write(const std::wstring& data) {
        unique_hkey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAutoRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                    nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(key.get(), kAutoRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    std::wstring m_tray;
    bool m_madeTray = false;
    bool m_hadValue = false;
    RegValue m_saved;
};

}  // namespace

TEST_F(AutoRunFixture, WritesQuotedTrayPathKeepsOtherCaseAndDeletes) {
    SetAutoRun(false);
    ASSERT_TRUE(SetAutoRun(true));
    const std::wstring expected = L"\"" + m_tray + L"\"";
    EXPECT_EQ(ReadRegText(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName), expected);

    // Already there in another letter case, with an argument: left as it is.
    const std::wstring upper = L"\"" + ToUpperText(m_tray) + L"\" /quiet";
    Write(upper);
    EXPECT_TRUE(SetAutoRun(true));
    EXPECT_EQ(ReadRegText(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName), upper);

    EXPECT_TRUE(SetAutoRun(false));
    RegValue gone;
    EXPECT_NE(ReadRegValue(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName, gone), ERROR_SUCCESS);
    EXPECT_TRUE(SetAutoRun(false));  // deleting nothing still succeeds
}

TEST_F(AutoRunFixture, MissingTrayProgramWritesNothing) {
    SetAutoRun(false);
    if (m_madeTray) ::DeleteFileW(m_tray.c_str());
    if (DirLookup(m_tray)) GTEST_SKIP() << "a real kestrine.exe lies beside the tests";
    m_madeTray = false;
    EXPECT_FALSE(SetAutoRun(true));
    RegValue value;
    EXPECT_NE(ReadRegValue(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName, value), ERROR_SUCCESS);
}
