// The home page window as a user meets it: the protection state from the tray's marker and
// "开启保护", the update link from the settings and the updater's marker with its poll, the
// version, the feature indicators, and the quarantine link that does nothing while work runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "IniOperation.h"
#include "MainTestSupport.h"
#include "ProgramTitle.h"
#include "ScanPageWorkState.h"
#include "frmQuarantines.h"
#include "modCommon.h"
#include "usrMainPage.h"

using namespace tessaly;
using namespace maintest;

namespace {

bool ShownStyle(HWND control) { return (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

class MainPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::SHDeleteValueW(HKEY_LOCAL_MACHINE, kAutoRunKey, kAutoRunValueName);
        ::CreateDirectoryW((m_folders.Root() + L"AppData\\Tessaly").c_str(), nullptr);
        ASSERT_NE(m_host.hwnd(), nullptr);
    }
    void TearDown() override { SetProgramWorkStepState(kWorkIdle); }

    void Store(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
        WriteIniString(m_folders.ConfigFile(), section, key, value);
    }
    // A marker as its program leaves it: a file in the per-machine data folder.
    std::wstring MarkerPath(const wchar_t* name) const { return m_folders.CommonDataFolder() + name + L".run"; }
    void PutMarker(const wchar_t* name) const {
        GetCommonDataFolder();  // makes the folder when it is missing
        std::ofstream(std::filesystem::path(MarkerPath(name))) << "1";
    }
    void RemoveMarker(const wchar_t* name) const { ::DeleteFileW(MarkerPath(name).c_str()); }

    std::unique_ptr<usrMainPage> MakePage(bool networkUp = false) {
        auto page = std::make_unique<usrMainPage>([networkUp](const std::wstring&) { return networkUp; });
        EXPECT_TRUE(page->Create(m_host.hwnd(), 0, 0));
        return page;
    }
    static std::wstring Text(const usrMainPage& page, int id) { return WindowText(page.Item(id)); }

    RegistrySnapshot m_snapshot;
    PrivateDataFolders m_folders;
    HostWindow m_host;
};

void ClickLabel(usrMainPage& page, int id) {
    ::SendMessageW(page.hwnd(), WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(page.Item(id)));
    PumpMessages();
}

}  // namespace

TEST_F(MainPageTest, WithoutTheTrayTheUnprotectedStateShowsAndEnablingRefreshesIt) {
    TrayStandIn tray;
    auto page = MakePage();
    EXPECT_EQ(Text(*page, usrMainPage::kIdLblMonitorTip), L"Tessaly 保护尚未开启");
    EXPECT_EQ(page->MonitorTipColour(), home_page::kOrange);
    EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdPicMainLogo0)));
    EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdPicMainLogo1)));
    EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdLblEnableMonitor)));
    EXPECT_EQ(Text(*page, usrMainPage::kIdLblAppVerText), GetAppVersion());

    // The tray program takes its marker while the page waits after starting it.
    PutMarker(kMarkerTray);
    EXPECT_EQ(Text(*page, usrMainPage::kIdLblMonitorTip), L"Tessaly 保护尚未开启");
    ClickLabel(*page, usrMainPage::kIdLblEnableMonitor);
    EXPECT_EQ(AutoRunValue().value_or(L"<missing>"), L"\"" + tray.Path() + L"\"");
    EXPECT_EQ(Text(*page, usrMainPage::kIdLblMonitorTip), L"Tessaly 正在保护你的电脑");
    EXPECT_EQ(page->MonitorTipColour(), home_page::kBlack);
    EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdPicMainLogo0)));
    EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdPicMainLogo1)));
    EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdLblEnableMonitor)));
}

TEST_F(MainPageTest, EnablingWithoutTheTrayProgramWarnsAndChangesNothing) {
    ASSERT_FALSE(DirLookup(GetAppFolder() + L"kestrine.exe"));
    auto page = MakePage();
    MessageBoxAnswerer answerer(kDrosselTitle);
    ClickLabel(*page, usrMainPage::kIdLblEnableMonitor);
    EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>{L"监控启动失败，杀软提示添加启动项时，请点允许。"});
    EXPECT_FALSE(AutoRunValue().has_value());
    EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdLblEnableMonitor)));
}

TEST_F(MainPageTest, UpdateLinkFollowsTheServerVersionWithoutOrdering) {
    {
        auto page = MakePage();  // no ServerAppVer at all
        EXPECT_EQ(Text(*page, usrMainPage::kIdLblManualUpdate), L"检查更新");
        EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdShapeReddot)));
        EXPECT_FALSE(page->IsUpdateTextRed());
    }
    Store(L"versions", L"ServerAppVer", GetAppVersion());
    {
        auto page = MakePage();
        EXPECT_EQ(Text(*page, usrMainPage::kIdLblManualUpdate), L"检查更新");
        EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdShapeReddot)));
    }
    Store(L"versions", L"ServerAppVer", L"2000.1.1");  // older than ours: still "newer"
    auto page = MakePage();
    EXPECT_EQ(Text(*page, usrMainPage::kIdLblManualUpdate), L"需更新");
    EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdShapeReddot)));
    EXPECT_TRUE(page->IsUpdateTextRed());
}

TEST_F(MainPageTest, RunningUpdaterDisablesTheLinkUntilItsMarkerIsGone) {
    PutMarker(kMarkerUpdater);
    Store(L"versions", L"ServerAppVer", L"9.9.9");
    auto page = MakePage();
    HWND link = page->Item(usrMainPage::kIdLblManualUpdate);
    EXPECT_EQ(WindowText(link), L"查询中...");
    EXPECT_FALSE(::IsWindowEnabled(link));
    EXPECT_TRUE(page->IsCheckUpdatePollOn());

    page->timeSetCheckUpdateState_Timer();  // the updater still runs: nothing changes
    EXPECT_EQ(WindowText(link), L"查询中...");
    RemoveMarker(kMarkerUpdater);
    page->timeSetCheckUpdateState_Timer();
    EXPECT_TRUE(::IsWindowEnabled(link));
    EXPECT_EQ(WindowText(link), L"需更新");
    EXPECT_FALSE(page->IsCheckUpdatePollOn());
}

TEST_F(MainPageTest, CloudIndicatorNeedsItsSwitchAndTheNetworkAndTheAddinStaysOff) {
    {
        auto page = MakePage(true);  // no CloudScan key yet: off even with a network
        EXPECT_EQ(page->CloudScanBorder(), home_page::kIndicatorOffBorder);
    }
    Store(L"AppSetting", L"CloudScan", L"1");
    Store(L"AppSetting", L"OfficeAddin", L"1");
    {
        auto page = MakePage(false);
        EXPECT_EQ(page->CloudScanBorder(), home_page::kIndicatorOffBorder);
        EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdImgCloudScan0)));
        EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdImgCloudScan1)));
    }
    auto page = MakePage(true);
    EXPECT_EQ(page->CloudScanBorder(), home_page::kIndicatorOnBorder);
    EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdImgCloudScan0)));
    EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdImgCloudScan1)));
    EXPECT_EQ(page->OfficeAddinBorder(), home_page::kIndicatorOffBorder);
    EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdImgOfficeAddin0)));
}

TEST_F(MainPageTest, QuarantineLinkDoesNothingWhileWorkRunsAndTheLoadingTipFollowsItsCall) {
    auto page = MakePage();
    SetProgramWorkStepState(kWorkScanning);
    ClickLabel(*page, usrMainPage::kIdLblQuarentineOP);  // would block in a modal dialog otherwise
    EXPECT_EQ(frmQuarantines::OpenInstance(), nullptr);

    EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdLblLoadingTip)));
    page->showLoadingTip(false);
    EXPECT_FALSE(ShownStyle(page->Item(usrMainPage::kIdLblLoadingTip)));
    page->showLoadingTip(true);
    EXPECT_TRUE(ShownStyle(page->Item(usrMainPage::kIdLblLoadingTip)));
}
