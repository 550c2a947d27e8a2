// Mouse handling of the result list: selection on the surface, the height snap, and the scroll
// bar's arrow repeat, track press and drag.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "ControlsTestSupport.h"
#include "FaultLog.h"
#include "ListBoxGeometry.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"
#include "usrCtlListBox.h"

using tessaly::usrCtlListBox;
using tessaly::test::PointParam;

namespace {

struct MouseRecord {
    int count = 0;
    short button = 0;
    float y = 0;
};

class ListBoxMouse : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(list.Create(host.get(), 0, 0, 400, 200));
        list.Events().MouseDown = [this](short button, short, float, float y) {
            ++down.count;
            down.button = button;
            down.y = y;
        };
        list.Events().Click = [this] { ++clicks; };
    }
    void Fill(int rows) {
        for (int i = 0; i < rows; ++i) list.AddItem(L"row " + std::to_wstring(i), L"Normal", 3);
    }
    int RowTopPixel(int row) const {
        return static_cast<int>(std::lround(row * list.ItemHeight() / list.Tpp().y));
    }
    void PressScrollBar(int y) {
        ::SendMessageW(list.ScrollBarWindow(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(5, y));
    }
    void ReleaseScrollBar(int y) { ::SendMessageW(list.ScrollBarWindow(), WM_LBUTTONUP, 0, PointParam(5, y)); }
    void Tick() { ::SendMessageW(list.Window(), WM_TIMER, usrCtlListBox::kRepeatTimerId, 0); }
    int ScrollBarHeight() const {
        RECT rc{};
        ::GetClientRect(list.ScrollBarWindow(), &rc);
        return rc.bottom;
    }

    tessaly::test::HostWindow host;
    usrCtlListBox list;
    MouseRecord down;
    int clicks = 0;
};

TEST_F(ListBoxMouse, LeftClickSelectsTheRowUnderThePointer) {
    Fill(3);
    ::SendMessageW(list.Window(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(50, RowTopPixel(1) + 5));
    ::SendMessageW(list.Window(), WM_LBUTTONUP, 0, PointParam(50, RowTopPixel(1) + 5));
    EXPECT_EQ(list.ListIndex(), 1);
    EXPECT_EQ(down.count, 1);
    EXPECT_EQ(down.button, 1);
    EXPECT_FLOAT_EQ(down.y, static_cast<float>((RowTopPixel(1) + 5) * list.Tpp().y));
    EXPECT_EQ(clicks, 1);
}

TEST_F(ListBoxMouse, FaultInAHostHandlerIsLoggedAndTheListGoesOn) {
    Fill(3);
    // The log outlives the test run: a text of this run only shows this run's line.
    const std::string fault = "click handler fault " + std::to_string(::GetTickCount64());
    list.Events().Click = [&] { throw std::runtime_error(fault); };
    ::SendMessageW(list.Window(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(50, RowTopPixel(2) + 5));
    ::SendMessageW(list.Window(), WM_LBUTTONUP, 0, PointParam(50, RowTopPixel(2) + 5));  // must come back
    EXPECT_EQ(list.ListIndex(), 2);
    std::wstring log;
    tessaly::clsUTF8TextFile().ReadFromUTF8File(
        tessaly::GetCommonDataFolder() + tessaly::ProgramErrLogName() + L".err", log);
    EXPECT_NE(log.find(L"fault in usrCtlListBox::WindowProc (usrCtlListBox.cpp:"), std::wstring::npos);
    EXPECT_NE(log.find(std::wstring(fault.begin(), fault.end())), std::wstring::npos);
    ::SendMessageW(list.Window(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(50, RowTopPixel(0) + 5));
    EXPECT_EQ(list.ListIndex(), 0);
}

TEST_F(ListBoxMouse, ClickBelowTheLastRowSelectsTheLastRow) {
    Fill(2);
    ::SendMessageW(list.Window(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(50, RowTopPixel(3) + 5));
    EXPECT_EQ(list.ListIndex(), 1);
}

TEST_F(ListBoxMouse, ClickOnAnEmptyListSelectsNothingButRaisesMouseDown) {
    ::SendMessageW(list.Window(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(50, 10));
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(down.count, 1);
}

TEST_F(ListBoxMouse, RightClickRaisesMouseDownWithoutSelecting) {
    Fill(3);
    list.ListIndex(2);
    ::SendMessageW(list.Window(), WM_RBUTTONDOWN, MK_RBUTTON, PointParam(50, 5));
    EXPECT_EQ(list.ListIndex(), 2);
    EXPECT_EQ(down.count, 1);
    EXPECT_EQ(down.button, 2);
}

TEST_F(ListBoxMouse, ClickAddsTheScrollPosition) {
    Fill(10);
    PressScrollBar(ScrollBarHeight() - 2);  // down-arrow zone
    Tick();
    Tick();
    ReleaseScrollBar(ScrollBarHeight() - 2);
    long top = list.CurIndex();
    ASSERT_GT(top, 0);
    ::SendMessageW(list.Window(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(50, RowTopPixel(1) + 5));
    EXPECT_EQ(list.ListIndex(), top + 1);
}

TEST(ListBoxHeight, SnapsToWholeRowsWithHalvesToEven) {
    tessaly::test::HostWindow host;
    usrCtlListBox list;
    ASSERT_TRUE(list.Create(host.get(), 0, 0, 300, 100));
    double tpp = list.Tpp().y;
    list.ItemHeight(720);
    // 3.5 and 2.5 rows of 720 twips, where those are whole pixels.
    double threeAndHalf = 3.5 * 720 / tpp;
    double twoAndHalf = 2.5 * 720 / tpp;
    if (threeAndHalf != std::floor(threeAndHalf) || twoAndHalf != std::floor(twoAndHalf))
        GTEST_SKIP() << "screen resolution gives no whole-pixel half rows";
    ::SetWindowPos(list.Window(), nullptr, 0, 0, 300, static_cast<int>(threeAndHalf), SWP_NOMOVE | SWP_NOZORDER);
    RECT rc{};
    ::GetClientRect(list.Window(), &rc);
    EXPECT_EQ(list.VisibleRows(), 4);
    EXPECT_EQ(rc.bottom, static_cast<int>(std::lround(4 * 720 / tpp)));
    ::SetWindowPos(list.Window(), nullptr, 0, 0, 300, static_cast<int>(twoAndHalf), SWP_NOMOVE | SWP_NOZORDER);
    ::GetClientRect(list.Window(), &rc);
    EXPECT_EQ(list.VisibleRows(), 2);
    EXPECT_EQ(rc.bottom, static_cast<int>(std::lround(2 * 720 / tpp)));
}

TEST_F(ListBoxMouse, ScrollBarAppearsOnOverflowWithItsFigures) {
    Fill(list.VisibleRows());
    EXPECT_FALSE(::IsWindowVisible(list.ScrollBarWindow()));
    list.AddItem(L"one more");
    ASSERT_TRUE(::IsWindowVisible(list.ScrollBarWindow()));
    EXPECT_EQ(list.MaxScroll(), 1);
    EXPECT_EQ(list.ThumbLen(), std::max<long>(255, tessaly::listbox::RoundHalfEven(list.TrackLen() / 2.0)));
    RECT sb{};
    ::GetWindowRect(list.ScrollBarWindow(), &sb);
    EXPECT_EQ(sb.right - sb.left, static_cast<int>(std::lround(330 / list.Tpp().x)));
}

TEST_F(ListBoxMouse, DownArrowRepeatsUntilTheLastPositionAndStopsOnRelease) {
    Fill(10);
    long maxScroll = list.MaxScroll();
    ASSERT_GT(maxScroll, 1);
    PressScrollBar(ScrollBarHeight() - 2);
    EXPECT_EQ(list.HitCode(), tessaly::listbox::kHitDownArrow);
    EXPECT_TRUE(list.RepeatTimerEnabled());
    long before = list.CurIndex();
    Tick();
    EXPECT_GT(list.CurIndex(), before);
    for (int i = 0; i < 20; ++i) Tick();
    EXPECT_EQ(list.CurIndex(), maxScroll);
    ReleaseScrollBar(ScrollBarHeight() - 2);
    EXPECT_FALSE(list.RepeatTimerEnabled());
    EXPECT_EQ(list.ListIndex(), -1);  // scrolling never selects
}

TEST_F(ListBoxMouse, UpArrowRepeatsDownToTheTop) {
    Fill(10);
    PressScrollBar(ScrollBarHeight() - 2);
    for (int i = 0; i < 20; ++i) Tick();
    ReleaseScrollBar(ScrollBarHeight() - 2);
    ASSERT_EQ(list.CurIndex(), list.MaxScroll());
    PressScrollBar(2);
    EXPECT_EQ(list.HitCode(), tessaly::listbox::kHitUpArrow);
    for (int i = 0; i < 20; ++i) Tick();
    EXPECT_EQ(list.CurIndex(), 0);
    ReleaseScrollBar(2);
    // A tick left in the queue after the release does nothing.
    PressScrollBar(ScrollBarHeight() - 2);
    ReleaseScrollBar(ScrollBarHeight() - 2);
    long after = list.CurIndex();
    Tick();
    EXPECT_EQ(list.CurIndex(), after);
}

TEST_F(ListBoxMouse, TrackPressJumpsToTheFormulaPosition) {
    Fill(10);
    int y = ScrollBarHeight() / 2;
    PressScrollBar(y);
    long expected = tessaly::listbox::ScrollBarHitTest(y * list.Tpp().y, list.TrackLen(), list.ThumbLen(),
                                                       list.MaxScroll());
    ReleaseScrollBar(y);
    ASSERT_GE(expected, 0);
    EXPECT_EQ(list.CurIndex(), expected);
    EXPECT_FALSE(list.RepeatTimerEnabled());
    EXPECT_GT(list.CurIndex(), 0);
    EXPECT_LT(list.CurIndex(), list.MaxScroll());
}

TEST_F(ListBoxMouse, DragMovesTheViewOnlyWithTheButtonHeld) {
    Fill(10);
    PressScrollBar(ScrollBarHeight() / 2);
    long middle = list.CurIndex();
    ::Sleep(40);
    ::SendMessageW(list.ScrollBarWindow(), WM_MOUSEMOVE, 0, PointParam(5, ScrollBarHeight() - 30));
    EXPECT_EQ(list.CurIndex(), middle);  // no button, no drag
    ::SendMessageW(list.ScrollBarWindow(), WM_MOUSEMOVE, MK_LBUTTON, PointParam(5, ScrollBarHeight() - 30));
    EXPECT_GT(list.CurIndex(), middle);
    ReleaseScrollBar(ScrollBarHeight() - 30);
}

}  // namespace
