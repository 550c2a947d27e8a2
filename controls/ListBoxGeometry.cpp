// Layout arithmetic of the result list; see ListBoxGeometry.h.
#include "ListBoxGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessaly::listbox {

namespace {
// Values that do not fit a long count as a fault of the computation.
bool FitsLong(double v) noexcept {
    return std::isfinite(v) && v > static_cast<double>(std::numeric_limits<long>::min()) &&
           v < static_cast<double>(std::numeric_limits<long>::max());
}
}  // namespace

long RoundHalfEven(double value) noexcept {
    if (!FitsLong(value)) return 0;
    double floorValue = std::floor(value);
    double diff = value - floorValue;
    long whole = static_cast<long>(floorValue);
    if (diff > 0.5) return whole + 1;
    if (diff < 0.5) return whole;
    return (whole % 2 == 0) ? whole : whole + 1;
}

int VisibleRowsFor(double scaleHeight, int itemHeight) noexcept {
    if (itemHeight <= 0 || scaleHeight <= 0) return 0;
    long rows = RoundHalfEven(scaleHeight / itemHeight);
    return static_cast<int>(std::clamp<long>(rows, 0, std::numeric_limits<short>::max()));
}

long SnappedHeight(int itemHeight, int visibleRows) noexcept {
    return static_cast<long>(itemHeight) * visibleRows;
}

long MaxScrollFor(long listCount, int visibleRows) noexcept { return listCount - visibleRows; }

long TrackLength(double scrollScaleHeight) noexcept {
    return RoundHalfEven(scrollScaleHeight - kTrackMargin);
}

long ThumbLength(long trackLen, long maxScroll) noexcept {
    if (maxScroll + 1 <= 0) return kMinThumb;
    long len = RoundHalfEven(static_cast<double>(trackLen) / (maxScroll + 1));
    return std::max<long>(len, kMinThumb);
}

ThumbSpan ThumbPosition(long trackLen, long thumbLen, long maxScroll, long position) noexcept {
    if (maxScroll <= 0) return {kArrowZone, RoundHalfEven(static_cast<double>(kArrowZone) + thumbLen)};
    // The offset is kept in single precision, as the drawing has always done.
    float t = static_cast<float>(static_cast<double>(trackLen - thumbLen) / maxScroll * position + kArrowZone);
    return {RoundHalfEven(t), RoundHalfEven(static_cast<double>(t) + thumbLen)};
}

long ScrollBarHitTest(double y, long trackLen, long thumbLen, long maxScroll) noexcept {
    if (y <= kArrowZone) return kHitUpArrow;
    if (y >= kArrowZone + static_cast<double>(trackLen)) return kHitDownArrow;
    if (maxScroll <= 0 || trackLen == 0) return kHitUpArrow;
    double v = (y - thumbLen) / (static_cast<double>(trackLen) / maxScroll);
    if (!FitsLong(v)) return kHitUpArrow;
    return RoundHalfEven(v);
}

long IndexFromY(double y, int itemHeight, long curIndex, long listCount) noexcept {
    if (listCount <= 0) return -1;
    long row = 0;
    if (itemHeight > 0) {
        double v = std::floor(y / itemHeight) + curIndex;
        row = FitsLong(v) ? static_cast<long>(v) : 0;
    }
    return std::min(row, listCount - 1);
}

PixelRect RowTextRect(long visibleIndex, int itemHeight, double tppY, long rightPixel) noexcept {
    PixelRect r{};
    r.left = 1;
    r.top = RoundHalfEven(static_cast<double>(visibleIndex) * itemHeight / tppY);
    r.bottom = r.top + RoundHalfEven(itemHeight / tppY);
    r.right = std::max(r.left, rightPixel);
    return r;
}

long ClampScroll(long position, long maxScroll) noexcept { return std::clamp<long>(position, 0, std::max(maxScroll, 0L)); }

long RowsPerWheelNotch(long wheelLines, long visibleRows) noexcept {
    const long page = std::max(visibleRows - 1, 1L);
    return std::clamp<long>(wheelLines, 1, page);
}

std::uint32_t HeadBkColorFromCode(long code) noexcept {
    switch (code) {
    case 1: return 0x6164FF;
    case 2: return 0x90CBF6;
    case 3: return 0xED9564;
    case 4: return 0x8B45;
    case 5: return 0x99;
    default: return 0xFFFFFF;
    }
}

}  // namespace tessaly::listbox
