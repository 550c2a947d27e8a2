// What the result list draws: tags in their colours, the selection band, the grid, the frame and
// the scroll bar, checked on the image the control renders through WM_PRINTCLIENT.
#include <gtest/gtest.h>

#include <cmath>

#include "ControlsTestSupport.h"
#include "ListBoxGeometry.h"
#include "PropertyBag.h"
#include "SystemColor.h"
#include "usrCtlListBox.h"

using tessaly::usrCtlListBox;
using tessaly::test::Rendering;

namespace {

constexpr COLORREF kBorder = RGB(0, 170, 0);

class ListBoxDraw : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(list.Create(host.get(), 0, 0, 400, 200));
        list.BorderColor(kBorder);
        list.ItemHeight(750);
    }
    int Py(double twips) const { return static_cast<int>(std::lround(twips / list.Tpp().y)); }
    int RowTop(int row) const { return Py(row * 750.0); }
    // The tag of a row lies 20 pixels below its main text, which starts 4 pixels into the row.
    RECT TagArea(int row) const { return RECT{2, RowTop(row) + 24, 40, RowTop(row) + 24 + 12}; }

    tessaly::test::HostWindow host;
    usrCtlListBox list;
};

TEST_F(ListBoxDraw, TagsShowTheColourOfTheirCode) {
    list.AddItem(L"C:\\测试\\感染.doc", L"感染病毒", 1);
    list.AddItem(L"b", L"异常错误", 2);
    list.AddItem(L"c", L"已修复", 4);
    list.AddItem(L"d", L"Normal");
    Rendering image(list.Window());
    const COLORREF expected[] = {RGB(255, 100, 97), RGB(246, 203, 144), RGB(69, 139, 0), RGB(100, 149, 237)};
    for (int row = 0; row < 4; ++row) {
        RECT tag = TagArea(row);
        EXPECT_GT(image.Count(tag, expected[row]), 40) << "row " << row;
        // White tag text on the tag colour.
        EXPECT_GT(image.Count(tag, RGB(255, 255, 255)), 0) << "row " << row;
        // The main text line carries no tag colour.
        EXPECT_EQ(image.Count(RECT{2, RowTop(row) + 2, 60, RowTop(row) + 20}, expected[row]), 0) << "row " << row;
    }
}

TEST_F(ListBoxDraw, UpdateItemRecoloursTheTag) {
    list.AddItem(L"a", L"正在扫描");
    list.UpdateItem(0, L"", L"损坏文档", 5);
    Rendering image(list.Window());
    EXPECT_GT(image.Count(TagArea(0), RGB(153, 0, 0)), 40);
    EXPECT_EQ(image.Count(TagArea(0), RGB(100, 149, 237)), 0);
}

TEST_F(ListBoxDraw, SelectionBandFillsTheSelectedRowOnly) {
    list.SelColor(0xD9D9D9);
    list.AddItem(L"a");
    list.AddItem(L"b");
    list.AddItem(L"c");
    list.ListIndex(1);
    Rendering image(list.Window());
    COLORREF sel = RGB(217, 217, 217);
    int width = image.Size().cx;
    EXPECT_EQ(image.At(width - 10, RowTop(1) + 25), sel);
    EXPECT_EQ(image.At(width - 10, RowTop(0) + 25), RGB(255, 255, 255));
    EXPECT_EQ(image.At(width - 10, RowTop(2) + 25), RGB(255, 255, 255));
    // The band stops short of the right edge (ScaleWidth - 32 twips).
    EXPECT_EQ(image.At(width - 1 - 0, RowTop(1) + 25), kBorder);  // the frame
    EXPECT_NE(image.At(width - 2, RowTop(1) + 25), sel);
}

TEST_F(ListBoxDraw, ForeAndSelColorWaitForTheNextRedraw) {
    list.AddItem(L"a");
    list.ListIndex(0);
    list.SelColor(RGB(1, 2, 3));
    int width = Rendering(list.Window()).Size().cx;
    EXPECT_EQ(Rendering(list.Window()).At(width - 10, RowTop(0) + 25), RGB(0, 0, 255));
    list.DrawListBox();
    EXPECT_EQ(Rendering(list.Window()).At(width - 10, RowTop(0) + 25), RGB(1, 2, 3));
}

TEST_F(ListBoxDraw, GridLinesUnderEachRowAndTheFrame) {
    list.AddItem(L"a");
    list.Grid(true);
    Rendering image(list.Window());
    int width = image.Size().cx;
    for (int k = 1; k < list.VisibleRows(); ++k) {
        EXPECT_EQ(image.At(width / 2, RowTop(k)), kBorder) << "line " << k;
        EXPECT_EQ(image.At(width / 2, RowTop(k) + 3), RGB(255, 255, 255)) << "line " << k;
    }
    EXPECT_EQ(image.At(0, 30), kBorder);
    EXPECT_EQ(image.At(width - 1, 30), kBorder);
    EXPECT_EQ(image.At(30, 0), kBorder);
    EXPECT_EQ(image.At(30, image.Size().cy - 1), kBorder);
    list.Grid(false);
    EXPECT_EQ(Rendering(list.Window()).At(width / 2, RowTop(1)), RGB(255, 255, 255));
}

TEST_F(ListBoxDraw, SystemColourNumbersResolve) {
    list.BorderColor(0x80000005);
    Rendering image(list.Window());
    EXPECT_EQ(image.At(0, 30), ::GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(tessaly::ResolveColor(0x8000000A), ::GetSysColor(COLOR_ACTIVEBORDER));
    EXPECT_EQ(tessaly::ResolveColor(0x6164FF), RGB(255, 100, 97));
}

TEST_F(ListBoxDraw, ScrollBarShowsArrowsTrackAndThumb) {
    for (int i = 0; i < 12; ++i) list.AddItem(L"row");
    ASSERT_TRUE(::IsWindowVisible(list.ScrollBarWindow()));
    Rendering bar(list.ScrollBarWindow());
    int w = bar.Size().cx, h = bar.Size().cy;
    EXPECT_EQ(bar.At(w / 2, 11), RGB(128, 128, 128));      // up arrow
    EXPECT_EQ(bar.At(w / 2, h - 10), RGB(128, 128, 128));  // down arrow
    EXPECT_EQ(bar.At(w - 1, h / 2), RGB(224, 224, 224));   // track background
    auto span = tessaly::listbox::ThumbPosition(list.TrackLen(), list.ThumbLen(), list.MaxScroll(), 0);
    int thumbMiddle = Py((span.top + span.bottom) / 2.0);
    EXPECT_EQ(bar.At(w / 3, thumbMiddle), RGB(180, 180, 180));
    EXPECT_EQ(bar.At(w / 3, Py(span.bottom) + 5), RGB(224, 224, 224));
}

TEST_F(ListBoxDraw, OnlyVisibleRowsAreDrawnFromTheScrollPosition) {
    list.AddItem(L"a", L"感染", 1);
    for (int i = 0; i < 11; ++i) list.AddItem(L"row", L"Normal", 3);
    EXPECT_GT(Rendering(list.Window()).Count(TagArea(0), RGB(255, 100, 97)), 40);
    ::SendMessageW(list.ScrollBarWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 150));
    ::SendMessageW(list.ScrollBarWindow(), WM_LBUTTONUP, 0, MAKELPARAM(5, 150));
    ASSERT_GT(list.CurIndex(), 0);
    EXPECT_EQ(Rendering(list.Window()).Count(TagArea(0), RGB(255, 100, 97)), 0);
}

// Pixels of the text colour (black) in a part of the rendering.
int TextPixels(const Rendering& image, RECT area) { return image.Count(area, RGB(0, 0, 0)); }

TEST_F(ListBoxDraw, LongTextsEndBeforeTheScrollBarAndLongPathsKeepTheirFileName) {
    const std::wstring path = L"修复失败    C:\\用户\\某人\\文档\\很长的文件夹名称一\\很长的文件夹名称二\\很长的文件夹名称三\\报告.doc";
    for (int i = 0; i < 12; ++i) list.AddItem(path, L"W97M.Thus.A very long virus name that runs on and on and on", 1);
    ASSERT_TRUE(::IsWindowVisible(list.ScrollBarWindow()));
    RECT bar{};
    ::GetWindowRect(list.ScrollBarWindow(), &bar);
    ::MapWindowPoints(nullptr, list.Window(), reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_LT(list.TextRightPixel(), bar.left);

    Rendering image(list.Window());
    const int height = image.Size().cy;
    // Nothing of the texts lies under the scroll bar (the list's own image there is background)...
    EXPECT_EQ(TextPixels(image, RECT{list.TextRightPixel(), 1, image.Size().cx - 1, height - 1}), 0);
    // ...and the main text still runs up to its end: it was shortened, not cut off elsewhere.
    EXPECT_GT(TextPixels(image, RECT{list.TextRightPixel() - 30, RowTop(0) + 4, list.TextRightPixel(), RowTop(0) + 20}), 0);
}

TEST_F(ListBoxDraw, TextsEndInsideTheFrameWithoutAScrollBar) {
    list.AddItem(std::wstring(200, L'W'));
    ASSERT_FALSE(::IsWindowVisible(list.ScrollBarWindow()));
    Rendering image(list.Window());
    const int width = image.Size().cx;
    EXPECT_LT(list.TextRightPixel(), width - 1);
    EXPECT_EQ(TextPixels(image, RECT{list.TextRightPixel(), 1, width - 1, RowTop(1)}), 0);
    EXPECT_GT(TextPixels(image, RECT{width / 2, RowTop(0) + 4, list.TextRightPixel(), RowTop(0) + 20}), 0);
}

}  // namespace

namespace {

tessaly::PicturePtr RedPicture(int size) {
    tessaly::WindowDc screen(nullptr);
    tessaly::unique_hbitmap bitmap(::CreateCompatibleBitmap(screen.get(), size, size));
    tessaly::unique_memdc dc(::CreateCompatibleDC(screen.get()));
    {
        tessaly::SelectedObject selected(dc.get(), bitmap.get());
        RECT all{0, 0, size, size};
        tessaly::unique_hbrush red(::CreateSolidBrush(RGB(255, 0, 0)));
        ::FillRect(dc.get(), &all, red.get());
    }
    return std::make_shared<tessaly::ListPicture>(std::move(bitmap), L"C:\\图片\\背景.bmp");
}

TEST_F(ListBoxDraw, PictureUnscaledAtTheTopLeftOrStretchedOverTheSurface) {
    list.Picture(RedPicture(20));
    Rendering plain(list.Window());
    EXPECT_EQ(plain.At(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(plain.At(100, 100), RGB(255, 255, 255));
    list.Stretch(true);
    Rendering stretched(list.Window());
    EXPECT_EQ(stretched.At(100, 100), RGB(255, 0, 0));
    EXPECT_EQ(stretched.At(stretched.Size().cx - 10, stretched.Size().cy - 10), RGB(255, 0, 0));
    // The saved set now names the picture, last.
    tessaly::PropertyBag bag;
    list.WriteProperties(bag);
    ASSERT_FALSE(bag.Entries().empty());
    EXPECT_EQ(bag.Entries().back().first, L"Picture");
    EXPECT_EQ(bag.Entries().back().second, L"C:\\图片\\背景.bmp");
}

}  // namespace
