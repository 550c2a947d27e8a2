// The compiled-in pictures and application icon: every picture draws, blends its transparent
// parts with the background, stays inside its box at any size, and unknown ids fail cleanly.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "Pictures.h"
#include "UniqueHandle.h"

namespace tessaly::pictures {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A 32-bit memory canvas filled with one colour, with its pixels readable.
class Canvas {
public:
    Canvas(int width, int height, COLORREF background)
        : m_width(width), m_dc(::CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0));
        m_old = ::SelectObject(m_dc.get(), m_bitmap.get());
        unique_hbrush brush(::CreateSolidBrush(background));
        RECT all{0, 0, width, height};
        ::FillRect(m_dc.get(), &all, brush.get());
    }
    ~Canvas() { ::SelectObject(m_dc.get(), m_old); }

    HDC dc() const { return m_dc.get(); }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        std::uint32_t p = 0;
        std::memcpy(&p, static_cast<const unsigned char*>(m_bits) + (static_cast<std::size_t>(y) * m_width + x) * 4, 4);
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int CountNot(COLORREF colour, const RECT& area) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) count += At(x, y) != colour ? 1 : 0;
        return count;
    }

private:
    int m_width;
    unique_memdc m_dc;
    unique_hbitmap m_bitmap;
    void* m_bits = nullptr;
    HGDIOBJ m_old = nullptr;
};

std::vector<Picture> AllPictures() {
    std::vector<Picture> all;
    for (int i = 0; i < kPictureCount; ++i) all.push_back(static_cast<Picture>(i));
    return all;
}

TEST(PicturesTest, EveryPictureDrawsOpaqueShapesOnATransparentGround) {
    for (Picture picture : AllPictures()) {
        SCOPED_TRACE(static_cast<int>(picture));
        const RECT box{0, 0, 64, 64};
        Canvas onWhite(64, 64, kWhite);
        Canvas onBlack(64, 64, kBlack);
        ASSERT_TRUE(Draw(onWhite.dc(), box, picture));
        ASSERT_TRUE(Draw(onBlack.dc(), box, picture));
        // Opaque pixels come out the same on both grounds; transparent ones show the ground.
        int opaque = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) opaque += onWhite.At(x, y) == onBlack.At(x, y) ? 1 : 0;
        EXPECT_GT(opaque, 64 * 64 / 10);
        EXPECT_GT(onWhite.CountNot(kWhite, box), 64 * 64 / 10);
        for (const POINT corner : {POINT{0, 0}, POINT{63, 0}, POINT{0, 63}, POINT{63, 63}}) {
            EXPECT_EQ(onWhite.At(corner.x, corner.y), kWhite);
            EXPECT_EQ(onBlack.At(corner.x, corner.y), kBlack);
        }
    }
}

TEST(PicturesTest, EdgesBlendWithTheGround) {
    // Antialiased edges are partly transparent: some pixels are neither the ground nor the same
    // on both grounds.
    Canvas onWhite(96, 96, kWhite);
    Canvas onBlack(96, 96, kBlack);
    const RECT box{0, 0, 96, 96};
    ASSERT_TRUE(Draw(onWhite.dc(), box, Picture::MainLogoProtected));
    ASSERT_TRUE(Draw(onBlack.dc(), box, Picture::MainLogoProtected));
    int blended = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x) {
            const COLORREF w = onWhite.At(x, y), b = onBlack.At(x, y);
            blended += (w != b && w != kWhite && b != kBlack) ? 1 : 0;
        }
    EXPECT_GT(blended, 20);
}

TEST(PicturesTest, ScaledPicturesStayInsideTheirBox) {
    const COLORREF ground = RGB(10, 200, 30);
    for (const RECT box : {RECT{10, 20, 34, 44}, RECT{5, 5, 155, 105}, RECT{40, 40, 41, 41}}) {
        Canvas canvas(200, 160, ground);
        ASSERT_TRUE(Draw(canvas.dc(), box, Picture::ScanQuick));
        const int inside = canvas.CountNot(ground, box);
        EXPECT_EQ(canvas.CountNot(ground, RECT{0, 0, 200, 160}), inside);
        if (box.right - box.left > 1) {
            EXPECT_GT(inside, 0);
        }
    }
    // The same size twice comes from the cache and looks the same.
    Canvas first(64, 64, kWhite), second(64, 64, kWhite);
    ASSERT_TRUE(Draw(first.dc(), RECT{0, 0, 40, 30}, Picture::CloudScanOn));
    ASSERT_TRUE(Draw(second.dc(), RECT{0, 0, 40, 30}, Picture::CloudScanOn));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(first.At(x, y), second.At(x, y));
}

TEST(PicturesTest, OnAndOffIndicatorsDiffer) {
    Canvas on(64, 64, kWhite), off(64, 64, kWhite);
    const RECT box{0, 0, 64, 64};
    ASSERT_TRUE(Draw(on.dc(), box, Picture::CloudScanOn));
    ASSERT_TRUE(Draw(off.dc(), box, Picture::CloudScanOff));
    int different = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) different += on.At(x, y) != off.At(x, y) ? 1 : 0;
    EXPECT_GT(different, 100);
}

TEST(PicturesTest, MissingPicturesAndEmptyBoxesFail) {
    Canvas canvas(32, 32, kWhite);
    const RECT box{0, 0, 32, 32};
    EXPECT_FALSE(Draw(canvas.dc(), box, static_cast<Picture>(kPictureCount)));
    EXPECT_FALSE(Draw(canvas.dc(), box, static_cast<Picture>(-1)));
    EXPECT_FALSE(Draw(canvas.dc(), box, static_cast<Picture>(-kPictureResourceBase)));
    EXPECT_FALSE(Draw(canvas.dc(), box, static_cast<Picture>(1 << 20)));
    EXPECT_FALSE(Draw(canvas.dc(), RECT{5, 5, 5, 20}, Picture::ScanFull));
    EXPECT_FALSE(Draw(canvas.dc(), RECT{5, 20, 25, 10}, Picture::ScanFull));
    EXPECT_FALSE(Draw(nullptr, box, Picture::ScanFull));
    EXPECT_EQ(canvas.CountNot(kWhite, box), 0);
}

TEST(PicturesTest, IndexHelpersNameTheButtonPictures) {
    EXPECT_EQ(TopButtonPicture(0), Picture::TopButton0);
    EXPECT_EQ(TopButtonPicture(4), Picture::TopButton4);
    EXPECT_EQ(ScanButtonPicture(0), Picture::ScanFull);
    EXPECT_EQ(ScanButtonPicture(2), Picture::ScanCustom);
}

TEST(PicturesTest, AppIconLoadsInTheSizesAskedForAndIsTheFirstIcon) {
    for (int size : {16, 32, 48}) {
        HICON icon = AppIcon(size);
        ASSERT_NE(icon, nullptr) << size;
        EXPECT_EQ(AppIcon(size), icon);  // cached, not loaded again
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        unique_hbitmap colour(info.hbmColor), mask(info.hbmMask);
        BITMAP bitmap{};
        ASSERT_TRUE(::GetObjectW(colour.get(), sizeof bitmap, &bitmap));
        EXPECT_EQ(bitmap.bmWidth, size);
        EXPECT_EQ(bitmap.bmHeight, size);
    }
    EXPECT_NE(AppIcon(0), nullptr);
    // Explorer shows the first icon group of the program.
    int first = 0;
    ::EnumResourceNamesW(
        nullptr, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
            *reinterpret_cast<int*>(found) =
                IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : -1;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&first));
    EXPECT_EQ(first, kAppIconResource);
}

}  // namespace
}  // namespace tessaly::pictures
