// config.dat through the profile functions: defaults, the 1023-character cut, hidden files, the
// code page on disk, the web-server root and the AppSetting record.
#include <gtest/gtest.h>
#include <windows.h>

#include "IniOperation.h"
#include "TestSupport.h"
#include "modAppSettings.h"
#include "modCommon.h"

using namespace tessaly;
using testsupport::FreshFolder;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

namespace {
std::wstring NewIni(const std::string& content) {
    const std::wstring path = FreshFolder(L"ini") + L"config.dat";
    WriteBytes(path, content);
    return path;
}
}  // namespace

TEST(IniOperation, MissingFileSectionKeyAndEmptyValueReadAsDefault) {
    const std::wstring file = NewIni("[general]\r\nEmpty=\r\nName=value\r\n");
    EXPECT_EQ(ReadIniString(file + L".none", L"general", L"Name", L"dflt"), L"dflt");
    EXPECT_EQ(ReadIniString(file, L"nosection", L"Name", L"dflt"), L"dflt");
    EXPECT_EQ(ReadIniString(file, L"general", L"NoKey", L"dflt"), L"dflt");
    EXPECT_EQ(ReadIniString(file, L"general", L"Empty", L"dflt"), L"dflt");
    EXPECT_EQ(ReadIniString(file, L"general", L"Name", L"dflt"), L"value");
    EXPECT_EQ(ReadIniString(file, L"general", L"NoKey", L""), L"");
}

TEST(IniOperation, LongValuesAreCutTo1023Characters) {
    const std::string exact(1023, 'a');
    const std::wstring file = NewIni("[s]\r\nexact=" + exact + "\r\nlong=" + std::string(1500, 'b') + "\r\n");
    EXPECT_EQ(ReadIniString(file, L"s", L"exact", L""), std::wstring(1023, L'a'));
    EXPECT_EQ(ReadIniString(file, L"s", L"long", L""), std::wstring(1023, L'b'));
}

TEST(IniOperation, HiddenFileReadsAsMissingButTakesWrites) {
    const std::wstring file = NewIni("[general]\r\nk=stored\r\n");
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ReadIniString(file, L"general", L"k", L"dflt"), L"dflt");
    WriteIniString(file, L"general", L"k2", L"new");
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadIniString(file, L"general", L"k2", L""), L"new");
    EXPECT_EQ(ReadIniString(file, L"general", L"k", L""), L"stored");
}

TEST(IniOperation, WritesCreateTheFileInCodePage936) {
    const std::wstring file = FreshFolder(L"ini") + L"config.dat";
    WriteIniString(file, L"Office", L"InstallPath", L"C:\\办公\\");
    const std::string bytes = ReadBytes(file);
    EXPECT_NE(bytes.find("InstallPath=C:\\\xB0\xEC\xB9\xAB\\"), std::string::npos) << bytes;
    EXPECT_EQ(ReadIniString(file, L"Office", L"InstallPath", L""), L"C:\\办公\\");
}

TEST(IniOperation, ConfigFilePathCreatesThePerUserFolder) {
    const std::wstring appData = FreshFolder(L"appdata");
    ::SetEnvironmentVariableW(L"AppData", appData.c_str());
    const std::wstring path = GetConfigFilePath();
    EXPECT_EQ(path, appData + L"Tessaly\\config.dat");
    EXPECT_TRUE(DirLookup(appData + L"Tessaly", kLookupDirectory));
    ::SetEnvironmentVariableW(L"AppData", (testsupport::RunRoot() + L"appdata").c_str());
}

TEST(WebServerHost, DefaultHasNoTrailingSlashAndOnlyOneSlashIsDropped) {
    EXPECT_EQ(GetWebServerHost(L"C:\\no\\such\\config.dat"), L"https://www.tessaly.cn");
    const std::wstring file = NewIni("[general]\r\nWebServerHost=http://127.0.0.1:8089//\r\n");
    EXPECT_EQ(GetWebServerHost(file), L"http://127.0.0.1:8089/");
}

TEST(AppSettings, MissingSwitchesReadAsOneAndSavedOnesRoundTrip) {
    const std::wstring file = NewIni("[AppSetting]\r\nCloudScan=0\r\nAutoRun=abc\r\n");
    const AppSettingsRecord loaded = LoadAppSettings(file);
    EXPECT_EQ(loaded.RightMenuScan, 1);
    EXPECT_EQ(loaded.CloudScan, 0);
    EXPECT_EQ(loaded.OfficeAddin, 1);
    EXPECT_EQ(loaded.AutoRun, 1);  // not a number
    EXPECT_EQ(loaded.CloudFeedBack, 1);

    AppSettingsRecord saved{0, 1, 0, 0, 1};
    SaveAppSettings(file, saved);
    const AppSettingsRecord back = LoadAppSettings(file);
    EXPECT_EQ(back.RightMenuScan, 0);
    EXPECT_EQ(back.CloudScan, 1);
    EXPECT_EQ(back.OfficeAddin, 0);
    EXPECT_EQ(back.AutoRun, 0);
    EXPECT_EQ(back.CloudFeedBack, 1);
    EXPECT_EQ(ReadIniString(file, L"AppSetting", L"AutoRun", L""), L"0");
}
