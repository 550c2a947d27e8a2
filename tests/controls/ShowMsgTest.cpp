// The text dialog shown modeless and modal, filled and closed with its button.
#include <gtest/gtest.h>

#include <string>

#include "ControlsTestSupport.h"
#include "PixelScale.h"
#include "frmShowMsg.h"

using tessaly::frmShowMsg;

namespace {

std::wstring TextOf(HWND window) {
    int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

TEST(ShowMsg, ModelessDialogShowsItsTextsAndClosesWithItsButton) {
    tessaly::test::HostWindow owner(800, 600);
    frmShowMsg dialog;
    ASSERT_TRUE(dialog.Load(owner.get()));
    EXPECT_EQ(TextOf(dialog.Window()), L"TIP");
    std::wstring longText;
    for (int i = 0; i < 200; ++i) longText += L"第" + std::to_wstring(i) + L"行 C:\\路径\\文件.doc\r\n";
    dialog.Caption(L"发现病毒");
    dialog.Title(L"以下文件已被感染：");
    dialog.Message(longText);
    dialog.ShowModeless();
    tessaly::test::PumpMessages();
    HWND hwnd = dialog.Window();
    ASSERT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(TextOf(hwnd), L"发现病毒");
    EXPECT_EQ(TextOf(dialog.Control(frmShowMsg::kLblTitleId)), L"以下文件已被感染：");
    EXPECT_EQ(TextOf(dialog.Control(frmShowMsg::kTextMessageId)), longText);
    EXPECT_EQ(TextOf(dialog.Control(frmShowMsg::kOKButtonId)), L"确定");
    EXPECT_EQ(TextOf(dialog.Control(frmShowMsg::kLabel1Id)).rfind(L"有疑问请联系QQ：", 0), 0u);
    EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), owner.get());

    // Client area 7080 x 4100 twips; a long text scrolls inside and does not grow the window.
    RECT client{};
    ::GetClientRect(hwnd, &client);
    const tessaly::PixelScale screen = tessaly::ScreenScale();
    EXPECT_NEAR(client.right, 7080.0 * screen.dpiX / 1440, 1);
    EXPECT_NEAR(client.bottom, 4100.0 * screen.dpiY / 1440, 1);
    LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);

    // Centred over the owner.
    RECT own{}, self{};
    ::GetWindowRect(owner.get(), &own);
    ::GetWindowRect(hwnd, &self);
    EXPECT_NEAR((self.left + self.right) / 2, (own.left + own.right) / 2, 2);
    EXPECT_NEAR((self.top + self.bottom) / 2, (own.top + own.bottom) / 2, 2);

    ::SendMessageW(dialog.Control(frmShowMsg::kOKButtonId), BM_CLICK, 0, 0);
    tessaly::test::PumpMessages();
    EXPECT_FALSE(dialog.IsLoaded());
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(ShowMsg, CloseBoxUnloadsLikeTheButton) {
    frmShowMsg dialog;
    dialog.Caption(L"说明");
    dialog.ShowModeless();
    HWND hwnd = dialog.Window();
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    // A fresh use starts from the design state.
    dialog.Title(L"x");
    EXPECT_EQ(TextOf(dialog.Window()), L"TIP");
}

frmShowMsg* g_modal = nullptr;
bool g_sawTextWhileModal = false;
bool g_ownerDisabled = false;
HWND g_owner = nullptr;

void CALLBACK PressOk(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (!g_modal || !g_modal->IsLoaded()) return;
    g_sawTextWhileModal = TextOf(g_modal->Control(frmShowMsg::kTextMessageId)) == L"感染文件列表";
    g_ownerDisabled = !::IsWindowEnabled(g_owner);
    ::SendMessageW(g_modal->Control(frmShowMsg::kOKButtonId), BM_CLICK, 0, 0);
}

void CALLBACK Safety(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (g_modal && g_modal->IsLoaded()) ::PostMessageW(g_modal->Window(), WM_CLOSE, 0, 0);
}

TEST(ShowMsg, ModalDialogReturnsWhenItsButtonIsPressed) {
    tessaly::test::HostWindow owner(800, 600);
    frmShowMsg dialog;
    g_modal = &dialog;
    g_owner = owner.get();
    ASSERT_TRUE(dialog.Load(owner.get()));
    dialog.Caption(L"扫描结果");
    dialog.Title(L"已感染：");
    dialog.Message(L"感染文件列表");
    UINT_PTR press = ::SetTimer(nullptr, 0, 200, &PressOk);
    UINT_PTR safety = ::SetTimer(nullptr, 0, 10000, &Safety);
    dialog.ShowModal();
    ::KillTimer(nullptr, press);
    ::KillTimer(nullptr, safety);
    g_modal = nullptr;
    EXPECT_TRUE(g_sawTextWhileModal);
    EXPECT_TRUE(g_ownerDisabled);
    EXPECT_FALSE(dialog.IsLoaded());
    EXPECT_TRUE(::IsWindowEnabled(owner.get()));
}

}  // namespace
