// The home page's rules: protection text and colour, update text and dot, cloud-scan indicator.
#include <gtest/gtest.h>

#include "HomePageState.h"
#include "IniOperation.h"
#include "MainTestSupport.h"

using namespace tessaly;
using namespace tessaly::home_page;

TEST(HomePageState, ProtectionTextFollowsTrayMarker) {
    EXPECT_EQ(MonitorViewFor(true).text, kMonitorOnText);
    EXPECT_EQ(MonitorViewFor(true).colour, kBlack);
    EXPECT_EQ(MonitorViewFor(false).text, kMonitorOffText);
    EXPECT_EQ(MonitorViewFor(false).colour, RGB(0xFF, 0xC0, 0x80));
}

TEST(HomePageState, UpdateTextWithoutOrderingOfVersions) {
    EXPECT_TRUE(UpdateViewFor(true, L"9.9.9", L"1.0.0").querying);
    EXPECT_EQ(UpdateViewFor(false, L"", L"1.0.0").text, kCheckUpdateText);
    EXPECT_EQ(UpdateViewFor(false, L"1.0.0", L"1.0.0").text, kCheckUpdateText);
    EXPECT_FALSE(UpdateViewFor(false, L"1.0.0", L"1.0.0").needsUpdate);
    const UpdateView older = UpdateViewFor(false, L"0.9.0", L"1.0.0");
    EXPECT_TRUE(older.needsUpdate);
    EXPECT_EQ(older.text, kNeedUpdateText);
}

TEST(HomePageState, CloudIndicatorNeedsSwitchAndAnsweringServer) {
    maintest::PrivateDataFolders folders;
    const std::wstring config = GetConfigFilePath();
    std::wstring asked;
    auto up = [&](const std::wstring& address) { asked = address; return true; };
    EXPECT_FALSE(CloudScanIndicatorOn(config, up));  // missing switch reads as 0
    EXPECT_TRUE(asked.empty());
    WriteIniString(config, ini::kAppSetting, ini::kCloudScan, L"1");
    WriteIniString(config, ini::kGeneral, ini::kWebServerHost, L"http://127.0.0.1:8765");
    EXPECT_TRUE(CloudScanIndicatorOn(config, up));
    EXPECT_EQ(asked, L"http://127.0.0.1:8765");
    EXPECT_FALSE(CloudScanIndicatorOn(config, [](const std::wstring&) { return false; }));
    EXPECT_EQ(WebUpdateLogAddress(config), L"http://127.0.0.1:8765/tessaly/lastupdate");
    WriteIniString(config, ini::kAppSetting, ini::kCloudScan, L"x");
    EXPECT_FALSE(CloudScanIndicatorOn(config, up));
}
