// Controls made from a twips layout table: place at the given resolution, class, caption, style,
// font and identifier, and nothing made without a parent.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdlib>
#include <string>

#include "FormLayout.h"

namespace tessaly {
namespace {

constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT;

class FormLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 700, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override { ::DestroyWindow(host); }

    RECT PlaceInHost(HWND control) const {
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static std::wstring Text(HWND control) {
        wchar_t text[256]{};
        ::GetWindowTextW(control, text, 256);
        return text;
    }
    static std::wstring ClassOf(HWND control) {
        wchar_t name[64]{};
        ::GetClassNameW(control, name, 64);
        return name;
    }

    HWND host = nullptr;
};

TEST_F(FormLayoutTest, TableRowsBecomeControlsPlacedInPixels) {
    constexpr std::array<ControlLayout, 3> table{{
        {101, L"STATIC", L"版本:", kLabel, 1440, 720, 2880, 255},
        {102, L"BUTTON", L"保存设置", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 600, 3720, 1575, 495},
        {103, L"BUTTON", L"云查杀", WS_CHILD | BS_3STATE, 0, 0, 15, 15},
    }};
    unique_hfont font(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"SimSun"));
    PixelScale scale;  // 96 dpi: 15 twips a pixel
    CreateLayoutControls(host, table, scale, font.get());

    HWND label = ::GetDlgItem(host, 101);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(ClassOf(label), L"Static");
    EXPECT_EQ(Text(label), L"版本:");
    const RECT place = PlaceInHost(label);
    EXPECT_EQ(place.left, 96);
    EXPECT_EQ(place.top, 48);
    EXPECT_EQ(place.right - place.left, 192);
    EXPECT_EQ(place.bottom - place.top, 17);
    EXPECT_EQ(reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)), font.get());

    HWND button = ::GetDlgItem(host, 102);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(Text(button), L"保存设置");
    EXPECT_EQ(PlaceInHost(button).left, 40);
    EXPECT_EQ(PlaceInHost(button).bottom - PlaceInHost(button).top, 33);

    HWND hidden = ::GetDlgItem(host, 103);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(::IsWindowVisible(hidden));
    EXPECT_EQ(::GetWindowLongPtrW(hidden, GWL_STYLE) & BS_TYPEMASK, BS_3STATE);
}

TEST_F(FormLayoutTest, OneControlTakesTheScaleTheExtendedStyleAndNoFont) {
    PixelScale scale;
    scale.dpiX = 144;
    scale.dpiY = 120;
    const ControlLayout row{7, L"STATIC", L"", kLabel, 1440, 1440, 960, 480};
    HWND control = CreateLayoutControl(host, row, scale, nullptr, WS_EX_CONTROLPARENT);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(::GetDlgCtrlID(control), 7);
    EXPECT_NE(::GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);
    const RECT place = PlaceInHost(control);
    EXPECT_EQ(place.left, 144);
    EXPECT_EQ(place.top, 120);
    EXPECT_EQ(place.right - place.left, 96);
    EXPECT_EQ(place.bottom - place.top, 40);
    EXPECT_EQ(::SendMessageW(control, WM_GETFONT, 0, 0), 0);
}

TEST_F(FormLayoutTest, NothingIsMadeWithoutAParentOrWithAnUnknownClass) {
    const ControlLayout row{8, L"STATIC", L"x", kLabel, 0, 0, 150, 150};
    EXPECT_EQ(CreateLayoutControl(nullptr, row, PixelScale{}, nullptr), nullptr);
    const ControlLayout unknown{9, L"NoSuchWindowClass", L"x", kLabel, 0, 0, 150, 150};
    EXPECT_EQ(CreateLayoutControl(host, unknown, PixelScale{}, nullptr), nullptr);
    EXPECT_EQ(::GetDlgItem(host, 9), nullptr);
}

LRESULT CALLBACK RememberSelf(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<HWND*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) *self = hwnd;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(FormLayoutTest, PagesAreChildWindowsOfTheirTwipsSizeThatReceiveTheirObject) {
    HWND seen = nullptr;
    HWND page = CreatePageWindow(L"TessalyLayoutTestPage", &RememberSelf, host, 10, 20, 1500, 750, &seen);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(seen, page);
    EXPECT_EQ(::GetParent(page), host);
    const PixelScale scale = ScreenScale();
    const RECT place = PlaceInHost(page);
    EXPECT_EQ(place.left, 10);
    EXPECT_EQ(place.top, 20);
    EXPECT_EQ(place.right - place.left, scale.X(1500));
    EXPECT_EQ(place.bottom - place.top, scale.Y(750));
    EXPECT_NE(::GetWindowLongPtrW(page, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);
    // The class is registered once; a second page of it is made as well.
    EXPECT_NE(CreatePageWindow(L"TessalyLayoutTestPage", &RememberSelf, host, 0, 0, 150, 150, nullptr), nullptr);
    // A page needs a parent.
    EXPECT_EQ(CreatePageWindow(L"TessalyLayoutTestPage", &RememberSelf, nullptr, 0, 0, 150, 150, nullptr), nullptr);
}

TEST(MessageFontTest, GrowsTheSystemFontAndSetsItsWeight) {
    LOGFONTW system{};
    ASSERT_TRUE(MessageLogFont(system));
    unique_hfont plain = CreateUiFont({});
    unique_hfont bigBold = CreateUiFont({nullptr, 0, 100, FW_BOLD, DEFAULT_CHARSET, false, 4});
    ASSERT_TRUE(plain);
    ASSERT_TRUE(bigBold);
    LOGFONTW a{}, b{};
    ASSERT_TRUE(::GetObjectW(plain.get(), sizeof a, &a));
    ASSERT_TRUE(::GetObjectW(bigBold.get(), sizeof b, &b));
    EXPECT_EQ(a.lfHeight, system.lfHeight);
    EXPECT_EQ(a.lfWeight, system.lfWeight);
    EXPECT_EQ(std::abs(b.lfHeight), std::abs(system.lfHeight) + 4);
    EXPECT_EQ(b.lfWeight, FW_BOLD);
    EXPECT_EQ(std::wstring(b.lfFaceName), std::wstring(system.lfFaceName));
}

}  // namespace
}  // namespace tessaly
