// Row model and properties of the result list, driven through a real window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "PropertyBag.h"
#include "usrCtlListBox.h"

using tessaly::PropertyBag;
using tessaly::usrCtlListBox;

namespace {

class ListBoxModel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(list.Create(host.get(), 0, 0, 400, 200));
        list.Events().PropertyChanged = [this](std::wstring_view name) { reported.emplace_back(name); };
    }
    tessaly::test::HostWindow host;
    usrCtlListBox list;
    std::vector<std::wstring> reported;
};

TEST_F(ListBoxModel, StartsEmptyWithItsDefaults) {
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.CurIndex(), 0);
    EXPECT_EQ(list.ItemHeight(), 700);
    EXPECT_FALSE(list.Grid());
    EXPECT_EQ(list.BorderColor(), 0x8000000Au);
    EXPECT_EQ(list.BackColor(), 0xFFFFFFu);
    EXPECT_EQ(list.ForeColor(), 0u);
    EXPECT_EQ(list.SelColor(), 0xFF0000u);
    EXPECT_EQ(list.SelTextColor(), 0xFFFFFFu);
    EXPECT_FALSE(list.Stretch());
    EXPECT_FALSE(list.Picture());
    EXPECT_FALSE(::IsWindowVisible(list.ScrollBarWindow()));
}

TEST_F(ListBoxModel, AddItemDefaultsAndDoesNotMoveSelection) {
    EXPECT_EQ(list.AddItem(L"C:\\文档\\报告.doc"), 0);
    EXPECT_EQ(list.List(0), L"C:\\文档\\报告.doc");
    EXPECT_EQ(list.AddItem(L"second", L"感染", 1), 1);
    EXPECT_EQ(list.ListCount(), 2);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.CurIndex(), 0);
}

TEST_F(ListBoxModel, UpdateItemEdgeRules) {
    EXPECT_FALSE(list.UpdateItem(0, L"x"));  // empty list
    list.AddItem(L"a", L"Normal", 3);
    EXPECT_FALSE(list.UpdateItem(1, L"x"));  // index = ListCount
    EXPECT_FALSE(list.UpdateItem(-1, L"x"));
    EXPECT_TRUE(list.UpdateItem(0, L"", L"", 0));
    EXPECT_EQ(list.List(0), L"a");
    EXPECT_TRUE(list.UpdateItem(0, L"", L"已修复", 4));
    EXPECT_EQ(list.List(0), L"a");
    EXPECT_TRUE(list.UpdateItem(0, L"b"));
    EXPECT_EQ(list.List(0), L"b");
}

TEST_F(ListBoxModel, ItemHeightHasAMinimumAndReports) {
    list.ItemHeight(699);
    EXPECT_EQ(list.ItemHeight(), 700);
    list.ItemHeight(700);
    EXPECT_EQ(list.ItemHeight(), 700);
    list.ItemHeight(900);
    EXPECT_EQ(list.ItemHeight(), 900);
    list.ItemHeight(-5);
    EXPECT_EQ(list.ItemHeight(), 700);
    EXPECT_EQ(reported, (std::vector<std::wstring>{L"ItemHeight", L"ItemHeight", L"ItemHeight", L"ItemHeight"}));
}

TEST_F(ListBoxModel, SettersReportTheirNames) {
    list.AddItem(L"a");
    list.Grid(true);
    list.ListIndex(7);  // stored without a range check
    list.BorderColor(0x123456);
    list.BackColor(0xEEEEEE);
    list.List(0, L"z");
    list.ForeColor(0x666666);
    list.SelColor(0xD9D9D9);
    list.SelTextColor(0x1);
    list.Stretch(true);
    list.Picture(nullptr);
    EXPECT_EQ(list.ListIndex(), 7);
    EXPECT_EQ(list.List(0), L"z");
    EXPECT_EQ(reported, (std::vector<std::wstring>{L"Grid", L"ListIndex", L"BorderColor", L"BackColor", L"List",
                                                   L"ForeColor", L"SelColor", L"SelTextColor", L"Stretch",
                                                   L"Picture"}));
    // Bad indexes neither read nor write a row.
    EXPECT_EQ(list.List(5), L"");
    list.List(-3, L"q");
    EXPECT_EQ(list.ListCount(), 1);
}

TEST_F(ListBoxModel, RemoveItemRules) {
    list.AddItem(L"only");
    list.ListIndex(0);
    list.RemoveItem(5);  // one row: emptied whatever the index
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -1);

    for (int i = 0; i < 3; ++i) list.AddItem(L"row" + std::to_wstring(i));
    list.ListIndex(2);
    list.RemoveItem(-1);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.ListIndex(), 2);
    list.RemoveItem(0);
    EXPECT_EQ(list.ListCount(), 2);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.List(0), L"row1");
    EXPECT_EQ(list.List(1), L"row2");
    list.RemoveItem(9);  // not a row: nothing changes
    EXPECT_EQ(list.ListCount(), 2);
}

TEST_F(ListBoxModel, ClearResetsEverythingAndHidesTheScrollBar) {
    for (int i = 0; i < 10; ++i) list.AddItem(L"row");
    EXPECT_TRUE(::IsWindowVisible(list.ScrollBarWindow()));
    ::SendMessageW(list.ScrollBarWindow(), WM_LBUTTONDOWN, MK_LBUTTON, tessaly::test::PointParam(5, 150));
    ::SendMessageW(list.ScrollBarWindow(), WM_LBUTTONUP, 0, tessaly::test::PointParam(5, 150));
    list.ListIndex(3);
    EXPECT_GT(list.CurIndex(), 0);
    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.CurIndex(), 0);
    EXPECT_EQ(list.MaxScroll(), 0);
    EXPECT_FALSE(::IsWindowVisible(list.ScrollBarWindow()));
    // Removing rows does not hide it; only Clear does.
    for (int i = 0; i < 10; ++i) list.AddItem(L"row");
    for (int i = 0; i < 8; ++i) list.RemoveItem(0);
    list.DrawListBox();
    EXPECT_TRUE(::IsWindowVisible(list.ScrollBarWindow()));
}

TEST(ListBoxProperties, WriteInOrderLeavingOutAnEmptyPicture) {
    tessaly::test::HostWindow host;
    usrCtlListBox list;
    ASSERT_TRUE(list.Create(host.get(), 0, 0, 300, 200));
    PropertyBag bag;
    list.WriteProperties(bag);
    std::vector<std::wstring> names;
    for (const auto& entry : bag.Entries()) names.push_back(entry.first);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"ItemHeight", L"Grid", L"ListIndex", L"BorderColor", L"BackColor",
                                                L"ForeColor", L"SelColor", L"SelTextColor", L"Stretch"}));
    EXPECT_EQ(*bag.Read(L"BorderColor"), L"-2147483638");
}

TEST(ListBoxProperties, ReadKeepsMissingAndBadValuesAndSkipsTheMinimum) {
    PropertyBag bag = PropertyBag::FromText(L"ItemHeight=300\r\nGrid=True\r\nSelColor=14277081\r\n"
                                            L"ForeColor=not a number\r\nBackColor=99999999999\r\nbroken line\r\n");
    tessaly::test::HostWindow host;
    usrCtlListBox list;
    ASSERT_TRUE(list.Create(host.get(), 0, 0, 300, 200, 0, &bag));
    EXPECT_EQ(list.ItemHeight(), 300);  // stored directly, no minimum
    EXPECT_TRUE(list.Grid());
    EXPECT_EQ(list.SelColor(), 0xD9D9D9u);
    EXPECT_EQ(list.ForeColor(), 0u);
    EXPECT_EQ(list.BackColor(), 0xFFFFFFu);
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.BorderColor(), 0x8000000Au);
}

TEST(ListBoxProperties, RoundTripThroughText) {
    tessaly::test::HostWindow host;
    usrCtlListBox first;
    ASSERT_TRUE(first.Create(host.get(), 0, 0, 300, 200));
    first.ItemHeight(900);
    first.Grid(true);
    first.BorderColor(0x80000005);
    first.ForeColor(0x666666);
    first.Stretch(true);
    PropertyBag bag;
    first.WriteProperties(bag);
    PropertyBag again = PropertyBag::FromText(bag.ToText());
    usrCtlListBox second;
    ASSERT_TRUE(second.Create(host.get(), 0, 0, 300, 200, 0, &again));
    EXPECT_EQ(second.ItemHeight(), 900);
    EXPECT_TRUE(second.Grid());
    EXPECT_EQ(second.BorderColor(), 0x80000005u);
    EXPECT_EQ(second.ForeColor(), 0x666666u);
    EXPECT_TRUE(second.Stretch());
}

TEST(ListBoxWindow, ClassNameAloneGivesAWorkingList) {
    tessaly::test::HostWindow host;
    ASSERT_TRUE(usrCtlListBox::RegisterWindowClasses());
    HWND hwnd = ::CreateWindowExW(0, usrCtlListBox::kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100,
                                  host.get(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    usrCtlListBox* list = usrCtlListBox::FromWindow(hwnd);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->AddItem(L"x"), 0);
    ::DestroyWindow(hwnd);  // frees the object it owns
}

}  // namespace
