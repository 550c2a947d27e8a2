#include <windows.h>

#include <gtest/gtest.h>

#include "UniqueHandle.h"
#include "WindowPlacement.h"

namespace tessaly::test {
namespace {

RECT WorkArea() {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

unique_hwnd OwnerAt(int left, int top, int width, int height) {
    return unique_hwnd(::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, left, top, width, height, nullptr,
                                         nullptr, ::GetModuleHandleW(nullptr), nullptr));
}

TEST(WindowPlacement, OuterSizeAddsTheFrameToTheClientArea) {
    const SIZE bare = OuterWindowSize(300, 200, WS_POPUP, 0);
    EXPECT_EQ(bare.cx, 300);
    EXPECT_EQ(bare.cy, 200);
    const SIZE framed = OuterWindowSize(300, 200, WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME);
    EXPECT_GT(framed.cx, 300);
    EXPECT_GT(framed.cy, 200 + ::GetSystemMetrics(SM_CYCAPTION) - 1);
}

TEST(WindowPlacement, CentresOverOwnerOrOverTheWorkArea) {
    const RECT work = WorkArea();
    const POINT onWork = CenteredOrigin(nullptr, {200, 100});
    EXPECT_NEAR(onWork.x + 100, (work.left + work.right) / 2, 1);
    EXPECT_NEAR(onWork.y + 50, (work.top + work.bottom) / 2, 1);

    unique_hwnd owner = OwnerAt(100, 100, 400, 300);
    ASSERT_TRUE(owner);
    const POINT onOwner = CenteredOrigin(owner.get(), {200, 100});
    EXPECT_EQ(onOwner.x, 200);
    EXPECT_EQ(onOwner.y, 200);

    // An owner already gone counts as none.
    HWND gone = owner.get();
    owner.reset();
    const POINT afterOwner = CenteredOrigin(gone, {200, 100});
    EXPECT_EQ(afterOwner.x, onWork.x);
    EXPECT_EQ(afterOwner.y, onWork.y);
}

TEST(WindowPlacement, CaptionBarStaysOnTheWorkArea) {
    const RECT work = WorkArea();
    // Larger than the work area: the top-left corner, not a negative origin.
    const POINT huge = CenteredOrigin(nullptr, {work.right - work.left + 400, work.bottom - work.top + 400});
    EXPECT_EQ(huge.x, work.left);
    EXPECT_EQ(huge.y, work.top);

    // An owner at the screen's corner: the dialog is pulled back inside rather than hung off the edge.
    unique_hwnd corner = OwnerAt(work.left, work.top, 100, 60);
    ASSERT_TRUE(corner);
    const POINT pulled = CenteredOrigin(corner.get(), {400, 300});
    EXPECT_EQ(pulled.x, work.left);
    EXPECT_EQ(pulled.y, work.top);
    unique_hwnd farCorner = OwnerAt(work.right - 100, work.bottom - 60, 100, 60);
    ASSERT_TRUE(farCorner);
    const POINT back = CenteredOrigin(farCorner.get(), {400, 300});
    EXPECT_EQ(back.x, work.right - 400);
    EXPECT_EQ(back.y, work.bottom - 300);
}

}  // namespace
}  // namespace tessaly::test
