// The threat notice as a user meets it: its texts and tool tip, its size and place in the screen's
// bottom-right corner above other windows, and its end 5 s after it is shown.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "NoticeText.h"
#include "PixelScale.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "frmTrayVirusMonitor.h"

namespace tessaly::guard {
namespace {

using Notice = frmTrayVirusMonitor;

std::wstring TextOf(HWND window) {
    wchar_t text[512]{};
    ::GetWindowTextW(window, text, 512);
    return text;
}

RECT RectIn(HWND window, HWND parent) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring ToolTipText(const Notice& notice) {
    wchar_t text[512]{};
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = notice.Window();
    tool.uId = reinterpret_cast<UINT_PTR>(notice.Control(Notice::kIdLblVirusPath));
    tool.lpszText = text;
    ::SendMessageW(notice.ToolTip(), TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
    return text;
}

void RunPendingMessages() {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

class NoticeTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
        ASSERT_TRUE(notice.Load(owner));
    }
    void TearDown() override {
        notice.Unload();
        ::DestroyWindow(owner);
    }
    HWND owner = nullptr;
    Notice notice;
};

TEST_F(NoticeTest, LoadsHiddenWithItsDesignTextsOwnedByTheGuard) {
    EXPECT_FALSE(::IsWindowVisible(notice.Window()));
    EXPECT_EQ(TextOf(notice.Window()), L"发现病毒威胁");
    EXPECT_EQ(::GetWindow(notice.Window(), GW_OWNER), owner);
    EXPECT_EQ(TextOf(notice.Control(Notice::kIdLabel1)), L"发现病毒威胁数：");
    EXPECT_EQ(TextOf(notice.Control(Notice::kIdLblVirusCount)), L"1");
    EXPECT_EQ(TextOf(notice.Control(Notice::kIdLblVirusPath)), L"filepath");
    EXPECT_EQ(TextOf(notice.Control(Notice::kIdLblVirusName)), L"virusname");
}

TEST_F(NoticeTest, SitsTopmostInTheBottomRightCornerWithItsDesignedSize) {
    const PixelScale scale = ScreenScale();
    RECT inner{};
    ::GetClientRect(notice.Window(), &inner);
    EXPECT_EQ(inner.right, scale.X(6810));
    EXPECT_EQ(inner.bottom, scale.Y(2360));
    RECT outer{};
    ::GetWindowRect(notice.Window(), &outer);
    EXPECT_EQ(outer.left, ::GetSystemMetrics(SM_CXSCREEN) - (inner.right + 150));
    EXPECT_EQ(outer.top, ::GetSystemMetrics(SM_CYSCREEN) - (inner.bottom + 100));
    EXPECT_NE(::GetWindowLongPtrW(notice.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    // Filling and showing it keep the place and the size.
    notice.lblVirusCount(L"3");
    notice.ShowModeless();
    RECT shown{};
    ::GetWindowRect(notice.Window(), &shown);
    EXPECT_TRUE(::EqualRect(&shown, &outer));
    EXPECT_TRUE(::IsWindowVisible(notice.Window()));
}

TEST_F(NoticeTest, ShowsCountPathWithWholePathAsToolTipAndVirusName) {
    const std::wstring whole = L"c:\\users\\someone\\appdata\\roaming\\microsoft\\templates\\projects\\2021\\"
                               L"quarter\\normal.dotm ...";
    notice.lblVirusCount(L"12");
    notice.lblVirusPath(NoticePathText(whole), whole);
    notice.lblVirusName(L"W97M.Thus ...");
    EXPECT_EQ(TextOf(notice.Control(Notice::kIdLblVirusCount)), L"12");
    EXPECT_EQ(TextOf(notice.Control(Notice::kIdLblVirusPath)), whole.substr(0, 25) + L"..." + whole.substr(whole.size() - 25));
    EXPECT_EQ(ToolTipText(notice), whole);
    EXPECT_EQ(TextOf(notice.Control(Notice::kIdLblVirusName)), L"W97M.Thus ...");

    // The count follows the title on its row, wide enough for its two digits.
    const RECT title = RectIn(notice.Control(Notice::kIdLabel1), notice.Window());
    const RECT count = RectIn(notice.Control(Notice::kIdLblVirusCount), notice.Window());
    EXPECT_EQ(count.left, title.right);
    EXPECT_EQ(count.bottom, title.bottom);
    EXPECT_GT(count.right - count.left, 8);
}

// The path row holds one line: a path too wide for it, though too short for the notice's own
// shortening, loses its middle and keeps both ends; the tool tip keeps it whole.
TEST_F(NoticeTest, APathTooWideForItsRowIsShortenedInTheMiddleOnOneLine) {
    const HWND label = notice.Control(Notice::kIdLblVirusPath);
    const auto width = [label](const std::wstring& text) {
        const WindowDc dc(label);
        const SelectedObject font(dc.get(), reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)));
        SIZE size{};
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    };
    RECT row{};
    ::GetClientRect(label, &row);
    const std::wstring whole = L"c:\\users\\someone\\appdata\\roaming\\microsoft\\templates\\q3-2021\\a.doc";
    ASSERT_EQ(whole.size(), 66u);
    ASSERT_GT(width(whole), row.right) << "the font leaves room for the whole path";
    notice.lblVirusPath(NoticePathText(whole), whole);
    const std::wstring shown = TextOf(label);
    EXPECT_LE(width(shown), row.right);
    EXPECT_EQ(::GetWindowLongPtrW(label, GWL_STYLE) & SS_TYPEMASK, SS_LEFTNOWORDWRAP) << "the row may wrap";
    const std::size_t dots = shown.find(L"...");
    ASSERT_NE(dots, std::wstring::npos) << WideToUtf8(shown);
    EXPECT_GT(dots, 20u);
    EXPECT_TRUE(whole.starts_with(shown.substr(0, dots)));
    EXPECT_TRUE(whole.ends_with(shown.substr(dots + 3)));
    EXPECT_GT(shown.size() - dots - 3, 20u) << "both ends are kept";
    EXPECT_EQ(ToolTipText(notice), whole);

    // A path that fits stays whole.
    notice.lblVirusPath(L"c:\\t\\a-b.doc", L"c:\\t\\a-b.doc");
    EXPECT_EQ(TextOf(label), L"c:\\t\\a-b.doc");
}

TEST_F(NoticeTest, ClosesItselfAtTheAutoCloseTickAndNotBefore) {
    notice.ShowModeless();
    notice.EnableAutoClose();
    RunPendingMessages();
    EXPECT_NE(notice.Window(), nullptr) << "closed before its timer";
    ::SendMessageW(notice.Window(), WM_TIMER, Notice::kTimerAutoClose, 0);
    EXPECT_EQ(notice.Window(), nullptr);
    // A later notice loads and places the window again.
    ASSERT_TRUE(notice.Load(owner));
    EXPECT_EQ(TextOf(notice.Control(Notice::kIdLblVirusCount)), L"1");
}

TEST_F(NoticeTest, GoesWithItsOwner) {
    notice.ShowModeless();
    ::DestroyWindow(owner);
    owner = nullptr;
    EXPECT_EQ(notice.Window(), nullptr);
}

TEST(NoticePathText, KeepsEightyCharactersAndShortensLongerPathsToBothEnds) {
    const std::wstring eighty(80, L'a');
    EXPECT_EQ(NoticePathText(eighty), eighty);
    std::wstring longer = L"C:\\" + std::wstring(75, L'b') + L"\\x.doc";  // 84 characters
    const std::wstring shown = NoticePathText(longer);
    EXPECT_EQ(shown.size(), 53u);
    EXPECT_EQ(shown, longer.substr(0, 25) + L"..." + longer.substr(longer.size() - 25));
    EXPECT_EQ(NoticePathText(L""), L"");
}

}  // namespace
}  // namespace tessaly::guard
