// The quarantine manager dialog as a user meets it: counts and labels, select-all, restore and
// delete through its buttons, the messages it shows, and its modal run over an owner window.
#include "QuarantineTestSupport.h"

#include "ClsQuarantine.h"
#include "PixelScale.h"
#include "TextConvert.h"
#include "frmQuarantines.h"
#include "frmQuarantinesLayout.h"
#include "modCommon.h"

#include <filesystem>

#include <gmock/gmock.h>

namespace tessaly::test {
namespace {

struct ShownMessage {
    std::wstring text;
    std::wstring title;
    UINT type = 0;
};

class QuarantineDialogTest : public QuarantineFolderTest {
protected:
    void SetUp() override {
        QuarantineFolderTest::SetUp();
        frmQuarantines::SetMessageBoxHook([this](HWND, const std::wstring& text, const std::wstring& title, UINT type) {
            m_messages.push_back({text, title, type});
            return IDOK;
        });
    }
    void TearDown() override {
        m_form.Unload();
        frmQuarantines::SetMessageBoxHook(nullptr);
        QuarantineFolderTest::TearDown();
    }
    // Stores the documents and opens the dialog over them.
    void OpenWith(const std::vector<std::wstring>& docs) {
        {
            ClsQuarantine store;
            for (const auto& d : docs) ASSERT_TRUE(store.QuarantineFile(d));
        }
        // Not shown: under Wine a top-level window that was ever mapped takes two seconds to go.
        ASSERT_TRUE(m_form.Load(nullptr, false));
    }
    HWND Item(int id) const { return ::GetDlgItem(m_form.hwnd(), id); }
    std::wstring Text(int id) const {
        wchar_t buffer[512]{};
        ::GetWindowTextW(Item(id), buffer, 512);
        return buffer;
    }
    HWND List() const { return Item(frmQuarantines::kIdListQuarantinesViewer); }
    int ListCount() const { return static_cast<int>(::SendMessageW(List(), LB_GETCOUNT, 0, 0)); }
    int SelectedCount() const { return static_cast<int>(::SendMessageW(List(), LB_GETSELCOUNT, 0, 0)); }
    void Click(int id) { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }
    bool Checked(int id) const { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    frmQuarantines m_form;
    std::vector<ShownMessage> m_messages;
};

TEST_F(QuarantineDialogTest, EmptyStoreShowsZeroesAndItsButtonsDoNothing) {
    OpenWith({});
    wchar_t caption[64]{};
    ::GetWindowTextW(m_form.hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"隔离区");
    EXPECT_EQ(Text(frmQuarantines::kIdLblTip0), L"隔离区存放Tessaly处理过的文档备份");
    EXPECT_EQ(Text(frmQuarantines::kIdLblTip1), L"隔离文件数:");
    EXPECT_EQ(Text(frmQuarantines::kIdLblTip2), L"占用空间:");
    EXPECT_EQ(Text(frmQuarantines::kIdLblFileCount), L"0");
    EXPECT_EQ(Text(frmQuarantines::kIdLblSize), L"0.00MB");
    EXPECT_EQ(Text(frmQuarantines::kIdChkSelectAll), L"全选");
    EXPECT_EQ(Text(frmQuarantines::kIdCmdDeletes), L"删除");
    EXPECT_EQ(Text(frmQuarantines::kIdCmdRestore), L"恢复");
    EXPECT_EQ(ListCount(), 0);
    Click(frmQuarantines::kIdCmdRestore);
    Click(frmQuarantines::kIdCmdDeletes);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(QuarantineDialogTest, ClientAreaAndControlsFollowTheTwipsLayout) {
    OpenWith({});
    const PixelScale screen = ScreenScale();
    const int dpiX = screen.dpiX, dpiY = screen.dpiY;
    RECT client{};
    ::GetClientRect(m_form.hwnd(), &client);
    EXPECT_EQ(client.right, MulDiv(8610, dpiX, 1440));
    EXPECT_EQ(client.bottom, MulDiv(5700, dpiY, 1440));
    RECT list{};
    ::GetWindowRect(List(), &list);
    ::MapWindowPoints(nullptr, m_form.hwnd(), reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(list.left, MulDiv(120, dpiX, 1440));
    EXPECT_EQ(list.top, MulDiv(1080, dpiY, 1440));
    EXPECT_EQ(list.right - list.left, MulDiv(8175, dpiX, 1440));
    EXPECT_TRUE(::GetWindowLongW(List(), GWL_STYLE) & LBS_EXTENDEDSEL) << "several items can be selected";
}

TEST_F(QuarantineDialogTest, SelectAllThenDeleteRemovesEveryBackupWithoutAQuestion) {
    OpenWith({MakeDoc(L"a.doc", MakeContent(655360, 1)), MakeDoc(L"b.doc", MakeContent(655360, 2)),
              MakeDoc(L"c.doc", MakeContent(10, 3))});
    EXPECT_EQ(Text(frmQuarantines::kIdLblFileCount), L"3");
    EXPECT_EQ(Text(frmQuarantines::kIdLblSize), L"1.25MB");
    ASSERT_EQ(ListCount(), 3);
    wchar_t item[512]{};
    ::SendMessageW(List(), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), GetDateText() + L"::" + Doc(L"a.doc"));

    Click(frmQuarantines::kIdChkSelectAll);
    EXPECT_EQ(SelectedCount(), 3);
    Click(frmQuarantines::kIdChkSelectAll);
    EXPECT_EQ(SelectedCount(), 0);
    Click(frmQuarantines::kIdChkSelectAll);
    Click(frmQuarantines::kIdCmdDeletes);
    EXPECT_EQ(ListCount(), 0);
    EXPECT_TRUE(Checked(frmQuarantines::kIdChkSelectAll)) << "the check box keeps its value";
    EXPECT_EQ(Text(frmQuarantines::kIdLblFileCount), L"0");
    EXPECT_TRUE(m_messages.empty());
    EXPECT_FALSE(Exists(IndexPath()));
    EXPECT_EQ(StoredCopyCount(), 0);
}

TEST_F(QuarantineDialogTest, RestoreOfTheSelectedItemPutsTheDocumentBackAndSaysSo) {
    const std::string content = MakeContent(40000, 4);
    const std::wstring a = MakeDoc(L"a.doc", content);
    const std::wstring b = MakeDoc(L"b.doc", MakeContent(100, 5));
    OpenWith({a, b});
    WriteBytes(a, "cleaned");
    ::SendMessageW(List(), LB_SETSEL, TRUE, 0);
    Click(frmQuarantines::kIdCmdRestore);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, L"相关文件恢复成功");
    EXPECT_EQ(m_messages[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(m_messages[0].title, L"Tessaly(Brenmoor增强版)");
    EXPECT_EQ(ReadBytes(a), content);
    ASSERT_EQ(ListCount(), 1);
    EXPECT_EQ(Text(frmQuarantines::kIdLblFileCount), L"1");
}

TEST_F(QuarantineDialogTest, RestoreWithAMissingCopyWarnsWithThatPath) {
    const std::wstring a = MakeDoc(L"a.doc", MakeContent(100, 6));
    OpenWith({a});
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(StoreFolder()), ec))
        ::DeleteFileW(entry.path().wstring().c_str());
    ::SendMessageW(List(), LB_SETSEL, TRUE, 0);
    Click(frmQuarantines::kIdCmdRestore);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, L"请确认目标目录存在且文件没被占用\r\n恢复备份失败,路径:" + a);
    EXPECT_EQ(m_messages[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(ListCount(), 1) << "the failed item stays";
}

TEST_F(QuarantineDialogTest, PathOutsideTheCodePageIsListedAndRestoredFromTheDialog) {
    const std::string content = MakeContent(700, 7);
    const std::wstring doc = MakeDoc(Utf8("한국어.doc"), content);
    OpenWith({doc});
    ::DeleteFileW(doc.c_str());
    ::SendMessageW(List(), LB_SETSEL, TRUE, 0);
    Click(frmQuarantines::kIdCmdRestore);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, L"相关文件恢复成功");
    EXPECT_EQ(ReadBytes(doc), content);
}

TEST_F(QuarantineDialogTest, ModalRunDisablesTheOwnerUntilTheDialogCloses) {
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400, nullptr,
                                   nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    static bool ownerDisabled;
    static bool sawDialog;
    static HWND ownerSeen;
    ownerDisabled = false;
    sawDialog = false;
    ownerSeen = nullptr;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
        if (frmQuarantines* form = frmQuarantines::OpenInstance()) {
            sawDialog = true;
            ownerSeen = ::GetWindow(form->hwnd(), GW_OWNER);
            ownerDisabled = !::IsWindowEnabled(ownerSeen);
            ::PostMessageW(form->hwnd(), WM_CLOSE, 0, 0);
        }
    });
    frmQuarantines::ShowModal(owner);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(ownerSeen, owner);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(::IsWindowEnabled(owner));
    EXPECT_EQ(frmQuarantines::OpenInstance(), nullptr);
    ::DestroyWindow(owner);
}

TEST(QuarantineSizeText, TwoDecimalsWithLeadingZeroAndGrouping) {
    EXPECT_EQ(frmQuarantines::FormatSizeText(0.0f), L"0.00MB");
    EXPECT_EQ(frmQuarantines::FormatSizeText(1310720.0f / 1024 / 1024), L"1.25MB");
    EXPECT_EQ(frmQuarantines::FormatSizeText(0.5f), L"0.50MB");
    EXPECT_EQ(frmQuarantines::FormatSizeText(1234.5f), L"1,234.50MB");
}

}  // namespace
}  // namespace tessaly::test
