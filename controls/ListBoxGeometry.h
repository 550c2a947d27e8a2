// Layout arithmetic of the result list and its scroll bar, in twips, kept free of windows so the
// rounding and the zone rules can be checked on their own.
#pragma once

#include <cstdint>

namespace tessaly::listbox {

inline constexpr int kMinItemHeight = 700;
inline constexpr int kArrowZone = 255;        // each end of the scroll bar
inline constexpr int kTrackMargin = 510;      // both arrow zones
inline constexpr int kMinThumb = 255;
inline constexpr int kScrollBarWidth = 330;
inline constexpr int kScrollBarInset = 16;    // from the list's top, bottom and right edge
inline constexpr int kEdgeInset = 16;         // grid line ends and selection band start
inline constexpr int kSelRightInset = 32;
inline constexpr int kThumbFillLeft = 1;
inline constexpr int kThumbFillRight = 254;
inline constexpr int kThumbOutlineRight = 240;
inline constexpr std::uint32_t kDragThrottleMs = 19;  // a move is handled when more time passed
// A press on an arrow scrolls one row at once; held, it repeats after a pause at a pace the eye can
// follow, as the system's own scroll bars do.
inline constexpr std::uint32_t kArrowRepeatDelayMs = 350;
inline constexpr std::uint32_t kArrowRepeatIntervalMs = 60;
// Room kept free between a row's text and the scroll bar or the frame, in pixels.
inline constexpr int kTextGapPixels = 4;

// Nearest integer, halves to the even neighbour.
long RoundHalfEven(double value) noexcept;

// Rows that fit a surface of the given height; 0 when the row height is unusable.
int VisibleRowsFor(double scaleHeight, int itemHeight) noexcept;
// Height in twips that holds exactly the visible rows.
long SnappedHeight(int itemHeight, int visibleRows) noexcept;
long MaxScrollFor(long listCount, int visibleRows) noexcept;

long TrackLength(double scrollScaleHeight) noexcept;
long ThumbLength(long trackLen, long maxScroll) noexcept;

struct ThumbSpan {
    long top;
    long bottom;
};
ThumbSpan ThumbPosition(long trackLen, long thumbLen, long maxScroll, long position) noexcept;

inline constexpr long kHitUpArrow = -1;
inline constexpr long kHitDownArrow = -2;
// -1 up-arrow zone, -2 down-arrow zone, otherwise the position under y (not clamped).
long ScrollBarHitTest(double y, long trackLen, long thumbLen, long maxScroll) noexcept;

// Row under a y coordinate of the list surface: -1 for an empty list, never past the last row.
long IndexFromY(double y, int itemHeight, long curIndex, long listCount) noexcept;

// Text rectangle of the k-th visible row in pixels; the text ends at rightPixel.
struct PixelRect {
    long left, top, right, bottom;
};
PixelRect RowTextRect(long visibleIndex, int itemHeight, double tppY, long rightPixel) noexcept;

// A scroll position kept within 0..maxScroll (0 when nothing overflows).
long ClampScroll(long position, long maxScroll) noexcept;
// Rows one wheel notch moves: the system's lines per notch, but never a whole page, so the row
// the eye was on stays in view; at least one.
long RowsPerWheelNotch(long wheelLines, long visibleRows) noexcept;

// Colour of a tag for a result colour code.
std::uint32_t HeadBkColorFromCode(long code) noexcept;

}  // namespace tessaly::listbox
