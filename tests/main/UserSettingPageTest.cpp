// The settings page as a user meets it: the boxes and their captions, start-up that saves and
// applies the stored switches, and "保存设置" with its message box.
#include <gtest/gtest.h>

#include "ContextMenuScan.h"
#include "IniOperation.h"
#include "MainTestSupport.h"
#include "ProgramTitle.h"
#include "UserSettingPage.h"
#include "modCommon.h"

using namespace tessaly;
using namespace maintest;

namespace {

// The host window stays hidden (a shown one costs seconds to close under Wine), so a control
// counts as shown by its own style.
bool ShownStyle(HWND control) { return (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

class UserSettingPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        context_menu::RemoveVerbs();
        ::SHDeleteValueW(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName);
        ASSERT_NE(m_host.hwnd(), nullptr);
    }
    std::wstring Stored(const wchar_t* key) { return ReadIniString(m_folders.ConfigFile(), ini::kAppSetting, key, L""); }
    void Store(const wchar_t* key, const std::wstring& value) {
        ::CreateDirectoryW((m_folders.Root() + L"AppData\\Tessaly").c_str(), nullptr);
        WriteIniString(m_folders.ConfigFile(), ini::kAppSetting, key, value);
    }
    HWND Box(UserSettingPage& page, const std::wstring& caption) { return FindChild(page.hwnd(), L"Button", caption); }
    LRESULT State(UserSettingPage& page, const std::wstring& caption) {
        return ::SendMessageW(Box(page, caption), BM_GETCHECK, 0, 0);
    }
    void Click(UserSettingPage& page, const std::wstring& caption) {
        HWND control = Box(page, caption);
        ASSERT_NE(control, nullptr) << "no control " << caption.size();
        ::SendMessageW(page.hwnd(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), BN_CLICKED),
                       reinterpret_cast<LPARAM>(control));
        PumpMessages();
    }
    static bool VerbsRegistered() {
        return context_menu::IsRegistered(context_menu::BuildScanCommandLine(GetAppFolder()));
    }
    static int VerbKeysPresent() {
        int count = 0;
        for (const std::wstring& key : context_menu::AllVerbKeys()) count += ClassesRootKeyExists(key) ? 1 : 0;
        return count;
    }

    RegistrySnapshot m_snapshot;
    PrivateDataFolders m_folders;
    TrayStandIn m_tray;
    HostWindow m_host;
};

}  // namespace

TEST_F(UserSettingPageTest, ControlsCarryTheirCaptionsAndOnlyThreeBoxesShow) {
    UserSettingPage page;
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    for (const wchar_t* caption : {L"右键查杀菜单 ", L"云查杀", L"开机启动监控", L"保存设置"}) {
        HWND control = Box(page, caption);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(ShownStyle(control));
    }
    for (const wchar_t* caption : {L"Office插件安全扫描", L"帮助我们改进产品体验"}) {
        HWND control = Box(page, caption);
        ASSERT_NE(control, nullptr);
        EXPECT_FALSE(ShownStyle(control));
    }
    EXPECT_NE(FindChild(page.hwnd(), L"Static", L"(增强查杀能力,仅查询哈希，不上传文档)"), nullptr);
    EXPECT_NE(FindChild(page.hwnd(), L"Static", L"设置"), nullptr);
    // The page takes the frame's size.
    RECT pageRect{}, frameRect{};
    ::GetWindowRect(page.hwnd(), &pageRect);
    ::GetWindowRect(page.Item(UserSettingPage::kIdFrameSettingPage), &frameRect);
    EXPECT_EQ(pageRect.right - pageRect.left, frameRect.right - frameRect.left);
    EXPECT_EQ(pageRect.bottom - pageRect.top, frameRect.bottom - frameRect.top);
}

TEST_F(UserSettingPageTest, FirstStartWritesAllSwitchesRegistersVerbsAndTurnsAutorunOn) {
    UserSettingPage page;
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    for (const wchar_t* key : {ini::kRightMenuScan, ini::kCloudScan, ini::kOfficeAddin, ini::kAutoRun,
                               ini::kCloudFeedBack})
        EXPECT_EQ(Stored(key), L"1");
    EXPECT_EQ(VerbKeysPresent(), 10);
    EXPECT_TRUE(VerbsRegistered());
    EXPECT_EQ(AutoRunValue().value_or(L""), L"\"" + m_tray.Path() + L"\"");
    EXPECT_EQ(State(page, L"右键查杀菜单 "), BST_CHECKED);
    EXPECT_EQ(State(page, L"开机启动监控"), BST_CHECKED);
}

// Every closed message box costs Wine a couple of seconds, so one test walks both switches.
TEST_F(UserSettingPageTest, SavingClearedBoxesRemovesVerbsAndAutorunAndTickingAgainRewritesThem) {
    UserSettingPage page;
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    ASSERT_TRUE(AutoRunValue().has_value());
    MessageBoxAnswerer answerer(kDrosselTitle);
    Click(page, L"右键查杀菜单 ");
    Click(page, L"开机启动监控");
    EXPECT_EQ(State(page, L"右键查杀菜单 "), BST_UNCHECKED);
    EXPECT_EQ(VerbKeysPresent(), 10);  // nothing happens before the save
    EXPECT_TRUE(AutoRunValue().has_value());
    Click(page, L"保存设置");
    EXPECT_EQ(Stored(ini::kRightMenuScan), L"0");
    EXPECT_EQ(Stored(ini::kAutoRun), L"0");
    EXPECT_EQ(VerbKeysPresent(), 0);
    EXPECT_FALSE(AutoRunValue().has_value());

    Click(page, L"右键查杀菜单 ");
    Click(page, L"保存设置");
    EXPECT_EQ(Stored(ini::kRightMenuScan), L"1");
    EXPECT_EQ(Stored(ini::kAutoRun), L"0");
    EXPECT_EQ(VerbKeysPresent(), 10);
    EXPECT_FALSE(AutoRunValue().has_value());
    const auto texts = answerer.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], L"设置保存完毕");
    EXPECT_EQ(texts[1], L"设置保存完毕");
}

TEST_F(UserSettingPageTest, GreyStoredSwitchesCountAsOffAndHiddenBoxesKeepTheirValues) {
    Store(ini::kRightMenuScan, L"2");
    Store(ini::kAutoRun, L"2");
    Store(ini::kOfficeAddin, L"0");
    Store(ini::kCloudFeedBack, L"0");
    Store(ini::kCloudScan, L"7");
    context_menu::RegisterVerbs(context_menu::BuildScanCommandLine(GetAppFolder()));

    UserSettingPage page;
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    EXPECT_EQ(State(page, L"右键查杀菜单 "), BST_INDETERMINATE);
    EXPECT_EQ(VerbKeysPresent(), 0);
    EXPECT_FALSE(AutoRunValue().has_value());
    EXPECT_EQ(Stored(ini::kRightMenuScan), L"2");
    EXPECT_EQ(Stored(ini::kOfficeAddin), L"0");
    EXPECT_EQ(Stored(ini::kCloudFeedBack), L"0");
    EXPECT_EQ(Stored(ini::kCloudScan), L"1");  // out of range: shown and saved ticked

    // A click on a grey box ticks it.
    MessageBoxAnswerer answerer(kDrosselTitle);
    Click(page, L"右键查杀菜单 ");
    Click(page, L"保存设置");
    EXPECT_EQ(Stored(ini::kRightMenuScan), L"1");
    EXPECT_EQ(VerbKeysPresent(), 10);
    EXPECT_EQ(Stored(ini::kOfficeAddin), L"0");
}

TEST_F(UserSettingPageTest, PublicRegistrationOperationFollowsItsValue) {
    UserSettingPage page;
    ASSERT_TRUE(page.Create(m_host.hwnd(), 0, 0));
    page.RightMenuScanRegOp(0);
    EXPECT_EQ(VerbKeysPresent(), 0);
    page.RightMenuScanRegOp(1);
    EXPECT_EQ(VerbKeysPresent(), 10);
    EXPECT_TRUE(VerbsRegistered());
}
