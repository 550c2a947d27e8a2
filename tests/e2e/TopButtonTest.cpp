// The top buttons as the user sees them on the screen: the marked one takes the active-border
// colour and its picture, the others the window colour and no picture. Showing a page marks its
// button, whoever changed the page (a click, a scan from the command line or handed over by a later
// start); between switches the mark follows the pointer and stays when it leaves the row.
#include <gtest/gtest.h>

#include "DrosselRun.h"
#include "E2eTest.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "UniqueHandle.h"
#include "UserTexts.h"
#include "frmMain.h"
#include "usrWebToolsPage.h"

namespace e2e {
namespace {

// What the screen shows of a top button: its corner colour and whether its picture box holds
// anything but that colour.
struct ButtonLook {
    COLORREF corner = CLR_INVALID;
    bool picture = false;
};

ButtonLook LookOf(HWND button, HWND image) {
    ButtonLook look;
    RECT box{}, picture{};
    if (!::GetWindowRect(button, &box) || !::GetWindowRect(image, &picture)) return look;
    const tessaly::WindowDc screen(nullptr);
    look.corner = ::GetPixel(screen.get(), box.left + 1, box.top + 1);
    for (int y = picture.top; y < picture.bottom && !look.picture; y += 2)
        for (int x = picture.left; x < picture.right && !look.picture; x += 2)
            look.picture = ::GetPixel(screen.get(), x, y) != look.corner;
    return look;
}

ButtonLook LookOf(const DrosselRun& run, int index) {
    HWND button = run.TopButton(index);
    return LookOf(button, ::GetDlgItem(button, tessaly::frmMain::kIdImgTopBtn0 + index));
}

void PostMouseMove(HWND window) { ::PostMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4)); }

bool ShowsOnlyPage(const DrosselRun& run, int index) {
    for (int i = 0; i < 5; ++i)
        if (HasVisibleStyle(run.PageFrame(i)) != (i == index)) return false;
    return true;
}

// Whether exactly the button `marked` (-1: none) shows the mark, as the screen shows it.
bool Highlighted(const DrosselRun& run, int marked) {
    const COLORREF active = ::GetSysColor(COLOR_ACTIVEBORDER), normal = ::GetSysColor(COLOR_WINDOW);
    // Wine's default theme gives both colours one value; the picture still tells them apart.
    for (int i : {0, 1, 3, 4}) {
        const ButtonLook look = LookOf(run, i);
        if (look.corner != (i == marked ? active : normal) || look.picture != (i == marked)) return false;
    }
    return true;
}

}  // namespace

TEST_F(E2eTest, MarkFollowsThePointerAndEachButtonShowsAndMarksItsPage) {
    const StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    DrosselRun run(folder, L"");
    ASSERT_TRUE(run.WaitUntilReady(kStartTimeoutMs)) << "no ready main window";

    const auto highlighted = [&](int marked) { return Highlighted(run, marked); };
    EXPECT_TRUE(WaitUntil([&] { return highlighted(0); }, 5000, 100)) << "the home button is not marked at start";
    PostMouseMove(run.TopButton(3));
    EXPECT_TRUE(WaitUntil([&] { return highlighted(3); }, 5000, 100)) << "button 3 is not highlighted alone";
    PostMouseMove(run.PageFrame(0));
    ::Sleep(300);
    EXPECT_TRUE(highlighted(3)) << "leaving the row took the highlight away";
    PostMouseMove(run.TopButton(1));
    EXPECT_TRUE(WaitUntil([&] { return highlighted(1); }, 5000, 100)) << "the highlight did not follow the pointer";

    EXPECT_TRUE(ShowsOnlyPage(run, 0));
    for (int page : {1, 3, 4, 0}) {
        run.ClickTopButton(page);
        EXPECT_TRUE(WaitUntil([&] { return ShowsOnlyPage(run, page) && highlighted(page); }, 5000)) << "page " << page;
    }
    // Wine's browser control has no HTML engine here: the tools page shows its tip.
    run.ClickTopButton(3);
    HWND tip = FindDescendant(run.PageFrame(3), tessaly::usrWebToolsPage::kIdLblFailedTip);
    EXPECT_TRUE(WaitUntil([&] { return HasVisibleStyle(tip); }, 5000));
    EXPECT_EQ(ControlText(tip), texts::kWebToolsTip);
    EXPECT_TRUE(run.Boxes().Seen().empty());
}

}  // namespace e2e

namespace e2e {

// A scan from the command line, or one that a later start hands over, shows the scan page with
// its button marked, even after the pointer passed over the home button.
TEST_F(E2eTest, ScanFromTheCommandLineOrHandedOverMarksTheScanButton) {
    const StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    const std::wstring empty = Root() + L"empty";
    ::CreateDirectoryW(empty.c_str(), nullptr);
    DrosselRun run(folder, L"/sf " + empty);
    ASSERT_TRUE(run.WaitUntilReady(kStartTimeoutMs)) << "no ready main window";
    ASSERT_TRUE(run.WaitForScanEnd(kScanTimeoutMs));
    EXPECT_TRUE(ShowsOnlyPage(run, 1));
    EXPECT_TRUE(WaitUntil([&] { return Highlighted(run, 1); }, 5000, 100)) << "the scan button is not marked";

    run.ClickTopButton(0);
    PostMouseMove(run.TopButton(0));
    ASSERT_TRUE(WaitUntil([&] { return ShowsOnlyPage(run, 0) && Highlighted(run, 0); }, 5000, 100));
    DrosselRun second(folder, L"/sf " + empty);
    EXPECT_EQ(second.WaitForExit(kExitTimeoutMs).value_or(1234), 0u) << "the second start kept running";
    EXPECT_TRUE(WaitUntil([&] { return ShowsOnlyPage(run, 1); }, kScanTimeoutMs)) << "the handed-over path was not scanned";
    EXPECT_TRUE(WaitUntil([&] { return Highlighted(run, 1); }, 5000, 100)) << "the home button stayed marked";
    EXPECT_TRUE(run.Boxes().Seen().empty());
}

}  // namespace e2e
