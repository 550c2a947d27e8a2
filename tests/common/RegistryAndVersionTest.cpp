// Registry value types under a private HKCU test key, enumeration limits, and the version text
// of our own executables.
#include <gtest/gtest.h>
#include <windows.h>

#include "MSRegistryAPI.h"
#include "TestSupport.h"
#include "UniqueHandle.h"
#include "modFileVersion.h"

using namespace tessaly;

namespace {

class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_subKey = L"Software\\TessalyTest\\common_" + std::to_wstring(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    m_key.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        m_key.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TessalyTest");  // only when now empty
    }
    void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetValueExW(m_key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
        Set(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    unique_hkey m_key;
    std::wstring m_subKey;
};

}  // namespace

TEST_F(RegistryFixture, ValueTypes) {
    SetText(L"sz", L"文本 text");
    SetText(L"expand", L"%windir%\\x", REG_EXPAND_SZ);
    const DWORD minusOne = 0xFFFFFFFF;
    Set(L"dword", REG_DWORD, &minusOne, sizeof minusOne);
    const BYTE binary[] = {1, 2, 3};
    Set(L"bin", REG_BINARY, binary, sizeof binary);
    const std::wstring noNul = L"open";
    Set(L"nonul", REG_SZ, noNul.data(), static_cast<DWORD>(noNul.size() * sizeof(wchar_t)));

    RegValue value;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, m_subKey, L"sz", value), ERROR_SUCCESS);
    EXPECT_EQ(std::get<std::wstring>(value), L"文本 text");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, m_subKey, L"expand", value), ERROR_SUCCESS);
    EXPECT_EQ(std::get<std::wstring>(value), L"%windir%\\x");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, m_subKey, L"dword", value), ERROR_SUCCESS);
    EXPECT_EQ(std::get<std::int32_t>(value), -1);

    value = std::wstring(L"kept");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, m_subKey, L"bin", value), kRegTypeNotRead);
    EXPECT_EQ(std::get<std::wstring>(value), L"kept");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, m_subKey, L"nonul", value), ERROR_SUCCESS);
    EXPECT_EQ(std::get<std::wstring>(value), L"open");  // no NUL stored: still the whole text
    value = std::wstring(L"kept");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, m_subKey, L"missing", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, m_subKey + L"\\none", L"sz", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::get<std::wstring>(value), L"kept");
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, m_subKey, L"dword"), L"");
}

TEST_F(RegistryFixture, EnumeratesSubKeysAndStopsAtOversizedValue) {
    for (const wchar_t* name : {L"k1", L"k2"}) {
        unique_hkey sub;
        ASSERT_EQ(::RegCreateKeyExW(m_key.get(), name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.put(), nullptr),
                  ERROR_SUCCESS);
    }
    std::int32_t count = -1;
    auto keys = EnumRegSubKeys(HKEY_CURRENT_USER, m_subKey, count);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(count, 2);
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"k1", L"k2"}));
    EXPECT_TRUE(EnumRegSubKeys(HKEY_CURRENT_USER, m_subKey + L"\\k1", count).empty());
    EXPECT_EQ(count, 0);

    SetText(L"a", L"alpha");
    const DWORD seven = 7;
    Set(L"b", REG_DWORD, &seven, sizeof seven);
    SetText(L"c", std::wstring(1500, L'x'));  // 3002 bytes, more than the 2048-byte buffer
    SetText(L"d", L"after");
    DWORD lastType = REG_NONE;
    const auto names = EnumRegValues(HKEY_CURRENT_USER, m_subKey, false, lastType, count);
    const auto withData = EnumRegValues(HKEY_CURRENT_USER, m_subKey, true, lastType, count);
    ASSERT_LT(count, 4);  // nothing after the oversized value is listed
    ASSERT_EQ(withData.size(), names.size());
    for (size_t i = 0; i < withData.size(); ++i) {
        EXPECT_FALSE(names[i].data.has_value());
        if (withData[i].name == L"a") {
            EXPECT_EQ(*withData[i].data, L"alpha");
        }
        EXPECT_NE(withData[i].name, L"c");
    }
    EXPECT_TRUE(EnumRegValues(HKEY_CURRENT_USER, m_subKey + L"\\none", true, lastType, count).empty());
    EXPECT_EQ(count, 0);
}

TEST(FileVersion, OwnExecutablesAndFilesWithoutVersion) {
    EXPECT_EQ(GetFileVersion(testsupport::TestBinFolder() + L"common_tests.exe"), TESSALY_VERSION_TEXT);
    EXPECT_EQ(GetFileVersion(testsupport::TestBinFolder() + L"..\\stage\\tessalydemo.exe"), TESSALY_VERSION_TEXT);
    EXPECT_EQ(GetFileVersion(testsupport::TestBinFolder() + L"common_marker_holder.exe"), L"0.0.0");
    const std::wstring text = testsupport::FreshFolder(L"ver") + L"a.txt";
    testsupport::WriteBytes(text, "no version here");
    EXPECT_EQ(GetFileVersion(text), L"0.0.0");
    EXPECT_EQ(GetFileVersion(text + L".missing"), L"0.0.0");
}
