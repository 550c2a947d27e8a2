// Scrolling the result list as a user does it, with real input through the system's queue: a click
// on a scroll-bar arrow, an arrow held down, the wheel and the scroll keys once the list has the
// focus, and nothing of the wheel or the keys while another window has it.
#include <gtest/gtest.h>

#include <string>

#include "ControlsTestSupport.h"
#include "ListBoxGeometry.h"
#include "usrCtlListBox.h"

using tessaly::usrCtlListBox;
using namespace tessaly::test;
namespace listbox = tessaly::listbox;

namespace {

class ListBoxScrollInput : public ::testing::Test {
protected:
    void SetUp() override {
        ::SetForegroundWindow(host.get());
        ASSERT_TRUE(list.Create(host.get(), 10, 10, 400, 300));
        for (int i = 0; i < 40; ++i) list.AddItem(L"row " + std::to_wstring(i), L"Normal", 3);
        ASSERT_TRUE(::IsWindowVisible(list.ScrollBarWindow()));
        ASSERT_GT(list.MaxScroll(), 20);
        ASSERT_GT(list.VisibleRows(), 2);
    }
    void TearDown() override { ReleaseLeftButton(); }
    int BarHeight() const {
        RECT rc{};
        ::GetClientRect(list.ScrollBarWindow(), &rc);
        return rc.bottom;
    }
    void PointAtDownArrow() { MovePointerTo(list.ScrollBarWindow(), 5, BarHeight() - 3); }
    void PointAtUpArrow() { MovePointerTo(list.ScrollBarWindow(), 5, 3); }
    void Click() {
        PressLeftButton();
        ReleaseLeftButton();
    }
    // A click on the first row gives the list the focus.
    void FocusByClick() {
        MovePointerTo(list.Window(), 40, 10);
        Click();
        ASSERT_EQ(::GetFocus(), list.Window());
    }
    long RowsPerNotch() const {
        UINT lines = 3;
        ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
        return listbox::RowsPerWheelNotch(static_cast<long>(lines), list.VisibleRows());
    }

    HostWindow host;
    usrCtlListBox list;
};

TEST_F(ListBoxScrollInput, ClickOnAnArrowScrollsOneRowAtOnce) {
    PointAtDownArrow();
    Click();
    EXPECT_EQ(list.CurIndex(), 1);
    Click();
    EXPECT_EQ(list.CurIndex(), 2);
    EXPECT_FALSE(list.RepeatTimerEnabled());
    PumpFor(2 * listbox::kArrowRepeatDelayMs);  // nothing more happens after the release
    EXPECT_EQ(list.CurIndex(), 2);
    PointAtUpArrow();
    Click();
    EXPECT_EQ(list.CurIndex(), 1);
    EXPECT_EQ(list.ListIndex(), -1);  // scrolling never selects
}

TEST_F(ListBoxScrollInput, HeldArrowRepeatsAfterAPauseAtAPaceTheEyeCanFollow) {
    PointAtDownArrow();
    PressLeftButton();
    EXPECT_EQ(list.CurIndex(), 1);
    EXPECT_EQ(list.RepeatTimerIntervalMs(), listbox::kArrowRepeatDelayMs);
    PumpFor(listbox::kArrowRepeatDelayMs / 2);
    EXPECT_EQ(list.CurIndex(), 1) << "the repeat began before its pause";

    const unsigned held = 600;
    PumpFor(held);
    ReleaseLeftButton();
    const long rows = list.CurIndex();
    EXPECT_GT(rows, 1) << "holding the arrow did not repeat";
    // Timers never come early: at most one row per repeat interval after the pause.
    const long most = 2 + static_cast<long>((held + listbox::kArrowRepeatDelayMs / 2 - listbox::kArrowRepeatDelayMs) /
                                            listbox::kArrowRepeatIntervalMs);
    EXPECT_LE(rows, most);
    EXPECT_GE(listbox::kArrowRepeatIntervalMs, 50u) << "faster than 20 rows a second";
    EXPECT_FALSE(list.RepeatTimerEnabled());
}

TEST_F(ListBoxScrollInput, RepeatSwitchesFromThePauseToItsPace) {
    PointAtDownArrow();
    PressLeftButton();
    ::SendMessageW(list.Window(), WM_TIMER, usrCtlListBox::kRepeatTimerId, 0);  // the pause is over
    EXPECT_EQ(list.CurIndex(), 2);
    EXPECT_EQ(list.RepeatTimerIntervalMs(), listbox::kArrowRepeatIntervalMs);
    ReleaseLeftButton();
}

TEST_F(ListBoxScrollInput, WheelScrollsTheFocusedListAndAddsUpPartNotches) {
    FocusByClick();
    EXPECT_EQ(list.ListIndex(), 0);
    TurnWheel(-WHEEL_DELTA);
    EXPECT_EQ(list.CurIndex(), RowsPerNotch());
    TurnWheel(-WHEEL_DELTA / 2);
    EXPECT_EQ(list.CurIndex(), RowsPerNotch());
    TurnWheel(-WHEEL_DELTA / 2);
    EXPECT_EQ(list.CurIndex(), 2 * RowsPerNotch());
    TurnWheel(3 * WHEEL_DELTA);
    EXPECT_EQ(list.CurIndex(), 0);  // not past the top
    EXPECT_EQ(list.ListIndex(), 0);  // the wheel moves the view, not the selection
}

TEST_F(ListBoxScrollInput, ScrollKeysMoveTheViewOfTheFocusedList) {
    FocusByClick();
    PressKey(VK_DOWN);
    EXPECT_EQ(list.CurIndex(), 1);
    PressKey(VK_NEXT);
    EXPECT_EQ(list.CurIndex(), 1 + list.VisibleRows());
    PressKey(VK_PRIOR);
    EXPECT_EQ(list.CurIndex(), 1);
    PressKey(VK_END);
    EXPECT_EQ(list.CurIndex(), list.MaxScroll());
    PressKey(VK_DOWN);
    EXPECT_EQ(list.CurIndex(), list.MaxScroll());
    PressKey(VK_HOME);
    EXPECT_EQ(list.CurIndex(), 0);
    PressKey(VK_UP);
    EXPECT_EQ(list.CurIndex(), 0);
    EXPECT_EQ(list.ListIndex(), 0);
}

TEST_F(ListBoxScrollInput, AClickOnTheScrollBarGivesTheListTheFocus) {
    PointAtDownArrow();
    Click();
    EXPECT_EQ(::GetFocus(), list.Window());
    PressKey(VK_END);
    EXPECT_EQ(list.CurIndex(), list.MaxScroll());
}

TEST_F(ListBoxScrollInput, WheelAndKeysLeaveTheListAloneWhileAnotherWindowHasTheFocus) {
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 420, 10, 100, 24, host.get(), nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    ::SetFocus(edit);
    MovePointerTo(edit, 5, 5);
    TurnWheel(-WHEEL_DELTA);
    PressKey(VK_NEXT);
    PressKey(VK_END);
    EXPECT_EQ(list.CurIndex(), 0);
}

}  // namespace
