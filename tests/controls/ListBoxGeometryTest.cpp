// Layout arithmetic of the result list: rounding, row fit, scroll bar figures and hit zones.
#include <gtest/gtest.h>

#include "ListBoxGeometry.h"

using namespace tessaly::listbox;

TEST(ListBoxGeometry, RoundsHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(2.49), 2);
    EXPECT_EQ(RoundHalfEven(2.51), 3);
}

TEST(ListBoxGeometry, VisibleRowsAndHeightSnap) {
    EXPECT_EQ(VisibleRowsFor(2100, 700), 3);
    EXPECT_EQ(VisibleRowsFor(2450, 700), 4);  // 3.5 rows: half to even
    EXPECT_EQ(SnappedHeight(700, 4), 2800);
    EXPECT_EQ(VisibleRowsFor(1750, 700), 2);  // 2.5 rows
    EXPECT_EQ(VisibleRowsFor(2000, 700), 3);
    // A row height a saved property set to 0 must not divide by zero.
    EXPECT_EQ(VisibleRowsFor(2100, 0), 0);
    EXPECT_EQ(VisibleRowsFor(0, 700), 0);
}

TEST(ListBoxGeometry, MaxScrollAndThumb) {
    EXPECT_EQ(MaxScrollFor(4, 3), 1);
    EXPECT_EQ(TrackLength(3000), 2490);
    EXPECT_EQ(ThumbLength(2490, 1), 1245);  // half the track
    EXPECT_EQ(ThumbLength(400, 1), 255);    // but never below the smallest thumb
    EXPECT_EQ(ThumbLength(2490, 100), 255);
    auto first = ThumbPosition(2490, 1245, 1, 0);
    EXPECT_EQ(first.top, 255);
    EXPECT_EQ(first.bottom, 1500);
    auto last = ThumbPosition(2490, 1245, 1, 1);
    EXPECT_EQ(last.top, 1500);
    EXPECT_EQ(last.bottom, 2745);  // the thumb ends where the down-arrow zone starts
}

TEST(ListBoxGeometry, ScrollBarHitZones) {
    EXPECT_EQ(ScrollBarHitTest(0, 2490, 255, 10), kHitUpArrow);
    EXPECT_EQ(ScrollBarHitTest(255, 2490, 255, 10), kHitUpArrow);
    EXPECT_EQ(ScrollBarHitTest(255 + 2490, 2490, 255, 10), kHitDownArrow);
    EXPECT_EQ(ScrollBarHitTest(255 + 2489, 2490, 255, 10), 10);
    EXPECT_EQ(ScrollBarHitTest(1500, 2490, 255, 10), 5);   // (1500-255)/249 = 5.0
    EXPECT_EQ(ScrollBarHitTest(256, 2490, 1245, 1), 0);    // just below the zone, big thumb
    // A track above a list with nothing to scroll is a fault of the figures: treated as the up arrow.
    EXPECT_EQ(ScrollBarHitTest(1000, 2490, 255, 0), kHitUpArrow);
}

TEST(ListBoxGeometry, IndexFromY) {
    EXPECT_EQ(IndexFromY(100, 700, 0, 0), -1);
    EXPECT_EQ(IndexFromY(0, 700, 0, 5), 0);
    EXPECT_EQ(IndexFromY(699, 700, 0, 5), 0);
    EXPECT_EQ(IndexFromY(700, 700, 0, 5), 1);
    EXPECT_EQ(IndexFromY(700, 700, 2, 5), 3);
    EXPECT_EQ(IndexFromY(9000, 700, 0, 5), 4);  // below the last row
    EXPECT_EQ(IndexFromY(100, 0, 0, 5), 0);     // the computation's fault gives 0
}

TEST(ListBoxGeometry, RowTextRectEndsWhereTheCallerSays) {
    auto r = RowTextRect(2, 700, 15.0, 380);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.top, 93);  // 1400 / 15 = 93.33
    EXPECT_EQ(r.bottom, 93 + 47);
    EXPECT_EQ(r.right, 380);
    EXPECT_EQ(RowTextRect(0, 700, 15.0, -5).right, 1);  // a list narrower than its scroll bar
}

TEST(ListBoxGeometry, ScrollPositionsStayWithinTheRows) {
    EXPECT_EQ(ClampScroll(-3, 5), 0);
    EXPECT_EQ(ClampScroll(7, 5), 5);
    EXPECT_EQ(ClampScroll(2, 5), 2);
    EXPECT_EQ(ClampScroll(2, -1), 0);  // nothing overflows
    EXPECT_EQ(RowsPerWheelNotch(3, 8), 3);
    EXPECT_EQ(RowsPerWheelNotch(3, 3), 2);     // never a whole page
    EXPECT_EQ(RowsPerWheelNotch(100, 6), 5);   // "one page per notch" setting
    EXPECT_EQ(RowsPerWheelNotch(3, 1), 1);
    EXPECT_EQ(RowsPerWheelNotch(0, 8), 1);
}

TEST(ListBoxGeometry, TagColoursOfTheResultCodes) {
    EXPECT_EQ(HeadBkColorFromCode(1), 0x6164FFu);
    EXPECT_EQ(HeadBkColorFromCode(2), 0x90CBF6u);
    EXPECT_EQ(HeadBkColorFromCode(3), 0xED9564u);
    EXPECT_EQ(HeadBkColorFromCode(4), 0x8B45u);
    EXPECT_EQ(HeadBkColorFromCode(5), 0x99u);
    EXPECT_EQ(HeadBkColorFromCode(0), 0xFFFFFFu);
    EXPECT_EQ(HeadBkColorFromCode(6), 0xFFFFFFu);
    EXPECT_EQ(HeadBkColorFromCode(-1), 0xFFFFFFu);
}
