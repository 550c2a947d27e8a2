// The notification icon and its window procedure in the test's own process, on a window of the
// test: the record the shell gets, the tip field, the subclassing, the pop-up menu read back by
// caption at the pointer, the re-adding, the program starts with their command tails, and the
// icon picture itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "FaultLog.h"
#include "Pictures.h"
#include "Polling.h"
#include "PrivateDataFolders.h"
#include "TextConvert.h"
#include "TrayTestSupport.h"
#include "UniqueHandle.h"
#include "WindowClass.h"
#include "frmTray.h"
#include "frmTrayLayout.h"
#include "modCommon.h"
#include "modTray.h"

namespace traytest {
namespace {

using namespace tessaly::tray;

constexpr wchar_t kTestWindowClass[] = L"TrayIconTestWindow";
constexpr LRESULT kOwnAnswer = 0x5EED;

// What the window's own procedure saw: the messages that TrayWndProc passed on.
std::vector<std::pair<UINT, LPARAM>>& Received() {
    static std::vector<std::pair<UINT, LPARAM>> received;
    return received;
}

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == kTrayCallbackMessage || msg >= WM_APP) {
        Received().emplace_back(msg, lParam);
        return kOwnAnswer;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void DrainMessages() {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tessaly::RegisterWindowClass(kTestWindowClass, &TestWindowProc));
        m_window = ::CreateWindowExW(0, kTestWindowClass, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_window, nullptr);
        m_icon.reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(tessaly::pictures::kTrayIconResource),
                                                     IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
        ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon.get()));
        m_menu = CreateTrayMenu();
        Received().clear();
    }
    void TearDown() override {
        RemoveTrayIcon();
        ::DestroyWindow(m_window);
        DrainMessages();
    }
    HMENU Popup() const { return ::GetSubMenu(m_menu.get(), 0); }
    WNDPROC CurrentProc() const { return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(m_window, GWLP_WNDPROC)); }

    testsupport::PrivateDataFolders m_data{L"tessaly_trayicon_"};
    HWND m_window = nullptr;
    tessaly::unique_hicon m_icon;
    tessaly::unique_hmenu m_menu;
};

// ---- The record and the shell ------------------------------------------------------------------

TEST_F(TrayIconTest, TheIconGoesToTheShellWithTheFirstRecordAndComesOffWithTheWindowProcedure) {
    ASSERT_TRUE(AddTrayIcon(m_window, Popup()));
    NotifyIconRecord record = CurrentTrayRecord();
    EXPECT_EQ(record.cbSize, kNotifyIconRecordSize);
    EXPECT_EQ(record.hWnd, m_window);
    EXPECT_EQ(record.uID, 0u);
    EXPECT_EQ(record.uFlags, 3u);
    EXPECT_EQ(record.uCallbackMessage, 2025u);
    EXPECT_EQ(record.hIcon, m_icon.get());
    EXPECT_TRUE(ShellKnowsIcon(m_window));
    EXPECT_EQ(CurrentProc(), &TrayWndProc);

    ASSERT_TRUE(SetTrayTip(L"Tessaly"));
    record = CurrentTrayRecord();
    EXPECT_EQ(record.uFlags, 4u);
    EXPECT_STREQ(record.szTip.data(), "Tessaly");

    RemoveTrayIcon();
    EXPECT_EQ(CurrentTrayRecord().uFlags, 0u);
    // Gone from the shell while the window still lives, and the window has its own procedure back.
    EXPECT_TRUE(::IsWindow(m_window));
    EXPECT_FALSE(ShellKnowsIcon(m_window));
    EXPECT_EQ(CurrentProc(), &TestWindowProc);
    EXPECT_FALSE(IsTrayIconKept());
    RemoveTrayIcon();  // a second time changes nothing
    EXPECT_EQ(CurrentProc(), &TestWindowProc);
}

TEST(TrayTipField, HoldsTheCodePageBytesWithATerminatorAndNeverSplitsACharacter) {
    // The tests run with the system code page 936.
    ASSERT_EQ(::GetACP(), 936u);
    const auto field = TipField(L"Tessaly 托盘");
    EXPECT_EQ(std::string(field.data()), "Tessaly \xCD\xD0\xC5\xCC");
    EXPECT_EQ(TipField(L"")[0], '\0');

    // 63 bytes fit; the terminator always stays.
    const auto longAscii = TipField(std::wstring(100, L'x'));
    EXPECT_EQ(std::string(longAscii.data()), std::string(63, 'x'));
    EXPECT_EQ(longAscii[63], '\0');
    // 62 bytes of 'x' and a double-byte character that would need bytes 63 and 64: it is left out.
    const auto cut = TipField(std::wstring(62, L'x') + L"托盘");
    EXPECT_EQ(std::string(cut.data()), std::string(62, 'x'));
    // The product's own tip fits whole.
    EXPECT_EQ(tessaly::AnsiToWide(TipField(kTrayTip).data()), kTrayTip);
}

// ---- The window procedure ----------------------------------------------------------------------

TEST_F(TrayIconTest, EveryOtherMessageReachesTheWindowsOwnProcedureWithItsAnswer) {
    ASSERT_TRUE(AddTrayIcon(m_window, Popup()));
    EXPECT_EQ(::SendMessageW(m_window, WM_APP + 7, 0, 42), kOwnAnswer);
    for (LPARAM event : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_CONTEXTMENU})
        EXPECT_EQ(::SendMessageW(m_window, kTrayCallbackMessage, 0, event), kOwnAnswer) << event;
    ASSERT_EQ(Received().size(), 6u);
    EXPECT_EQ(Received()[0], std::make_pair(static_cast<UINT>(WM_APP + 7), LPARAM{42}));
    EXPECT_EQ(Received()[1], std::make_pair(kTrayCallbackMessage, LPARAM{WM_MOUSEMOVE}));

    // The left button's release is the tray's own: the main program (missing here) and no answer.
    SetProgramFolder(m_data.Root());
    EXPECT_EQ(::SendMessageW(m_window, kTrayCallbackMessage, 0, WM_LBUTTONUP), 0);
    EXPECT_EQ(Received().size(), 6u);
}

struct MenuSeen {
    std::vector<std::wstring> captions;
    std::vector<UINT> ids;
    RECT box{};
    bool found = false;
};
MenuSeen g_menuSeen;

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = ::FindWindowW(L"#32768", nullptr);
    if (!window || !::IsWindowVisible(window)) return;
    ::KillTimer(nullptr, timer);
    auto menu = reinterpret_cast<HMENU>(::SendMessageW(window, MN_GETHMENU, 0, 0));
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t caption[64]{};
        ::GetMenuStringW(menu, static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
        g_menuSeen.captions.emplace_back(caption);
        g_menuSeen.ids.push_back(::GetMenuItemID(menu, i));
    }
    ::GetWindowRect(window, &g_menuSeen.box);
    g_menuSeen.found = true;
    ::EndMenu();
}

TEST_F(TrayIconTest, TheRightButtonsReleaseOpensTheFourItemsAtThePointer) {
    ASSERT_TRUE(AddTrayIcon(m_window, Popup()));
    const POINT pointer{300, 200};
    ASSERT_TRUE(::SetCursorPos(pointer.x, pointer.y));
    g_menuSeen = {};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &ReadOpenMenu);
    // The menu runs its own loop inside this call; the timer reads it and closes it.
    EXPECT_EQ(::SendMessageW(m_window, kTrayCallbackMessage, 0, WM_RBUTTONUP), 0);
    ::KillTimer(nullptr, timer);
    ASSERT_TRUE(g_menuSeen.found);
    EXPECT_EQ(g_menuSeen.captions,
              (std::vector<std::wstring>{L"运行主程序(&M)", L"检查更新(&U)", L"反馈问题", L"退出(&X)"}));
    EXPECT_EQ(g_menuSeen.ids, (std::vector<UINT>{kIdRunMainApp, kIdUpdate, kIdContactus, kIdExit}));
    EXPECT_EQ(g_menuSeen.box.left, pointer.x);
    EXPECT_EQ(g_menuSeen.box.top, pointer.y);
    EXPECT_TRUE(Received().empty());
}

// ---- A new notification area -------------------------------------------------------------------

TEST_F(TrayIconTest, TaskbarCreatedAddsTheKeptIconAgainWithItsTipButNotARemovedOne) {
    ASSERT_TRUE(AddTrayIcon(m_window, Popup()));
    ASSERT_TRUE(SetTrayTip(kTrayTip));
    ASSERT_TRUE(ShellForgetsIcon(m_window));
    ASSERT_FALSE(ShellKnowsIcon(m_window));
    // Passed on to the window's own procedure as well.
    EXPECT_EQ(::SendMessageW(m_window, TaskbarCreatedMessage(), 0, 0), kOwnAnswer);
    EXPECT_TRUE(ShellKnowsIcon(m_window));
    EXPECT_TRUE(IsTrayIconShown());
    EXPECT_EQ(tessaly::AnsiToWide(CurrentTrayRecord().szTip.data()), kTrayTip);

    RemoveTrayIcon();
    ::SendMessageW(m_window, TaskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(ShellKnowsIcon(m_window));
    EXPECT_FALSE(ShowTrayIconAgain());
}

// ---- Program starts ----------------------------------------------------------------------------

class TrayStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.Ready()) << m_folder.Problem();
        SetProgramFolder(m_folder.Folder());
    }
    std::wstring Quoted(const std::wstring& name) const { return L"\"" + m_folder.File(name) + L"\""; }

    testsupport::PrivateDataFolders m_data{L"tessaly_traystart_"};
    TrayFolder m_folder{m_data.Root() + L"program\\"};
};

TEST_F(TrayStartTest, TheUpdatersCommandTailsForTheFourFlagCombinations) {
    m_folder.AddRecorder(L"zdvshengji.exe");
    const std::wstring path = Quoted(L"zdvshengji.exe");
    const struct {
        bool manual, ui;
        std::wstring tail;
        std::wstring commandLine;
    } cases[] = {
        {true, true, L"/ui /manual", path + L" /ui /manual"},
        {true, false, L" /manual", path + L"  /manual"},
        {false, true, L"/ui", path + L" /ui"},
        {false, false, L"", m_folder.File(L"zdvshengji.exe")},
    };
    std::size_t count = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(UpdaterArguments(c.manual, c.ui), c.tail);
        RunUpdater(c.manual, c.ui);
        ASSERT_TRUE(WaitForStarts(m_folder, L"zdvshengji.exe", ++count));
        const StartRecord start = StartsOf(m_folder, L"zdvshengji.exe").back();
        EXPECT_EQ(start.commandLine, c.commandLine);
        EXPECT_EQ(start.parentId, ::GetCurrentProcessId());
    }
}

TEST_F(TrayStartTest, MissingProgramsStartNothingAndLeaveNoTrace) {
    RunMainApp();
    RunUpdater(true, true);
    RunUpdater(false, false);
    RunGuard();
    EXPECT_TRUE(NothingStarted(::GetCurrentProcessId(), m_folder));
    EXPECT_FALSE(std::filesystem::exists(m_data.CommonDataFolder() + tessaly::ProgramErrLogName()));
}

// ---- The picture -------------------------------------------------------------------------------

struct IconPixels {
    int opaque = 0;
    int white = 0;
    int blue = 0;
};

IconPixels ReadIcon(int size) {
    IconPixels counts;
    tessaly::unique_hicon icon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                               MAKEINTRESOURCEW(tessaly::pictures::kTrayIconResource),
                                                               IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    if (!icon) return counts;
    ICONINFO info{};
    if (!::GetIconInfo(icon.get(), &info)) return counts;
    tessaly::unique_hbitmap colour(info.hbmColor), mask(info.hbmMask);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<std::size_t>(size) * size);
    tessaly::WindowDc screen(nullptr);
    if (::GetDIBits(screen.get(), colour.get(), 0, size, pixels.data(), &format, DIB_RGB_COLORS) != size) return counts;
    for (const RGBQUAD& p : pixels) {
        if (p.rgbReserved < 192) continue;
        ++counts.opaque;
        if (p.rgbRed > 220 && p.rgbGreen > 220 && p.rgbBlue > 220) ++counts.white;
        if (p.rgbBlue > p.rgbRed + 80) ++counts.blue;
    }
    return counts;
}

TEST(TrayIconPicture, AShieldWithAClearMarkAtSixteenAndThirtyTwoPixels) {
    for (int size : {16, 32}) {
        const IconPixels counts = ReadIcon(size);
        const int area = size * size;
        // The shield fills most of the square, so the icon does not shrink to a dot...
        EXPECT_GT(counts.opaque, area * 6 / 10) << size;
        EXPECT_GT(counts.blue, area * 3 / 10) << size;
        // ...and the white mark inside it stands out: whole pixels of it even at 16.
        EXPECT_GT(counts.white, area * 8 / 100) << size;
        EXPECT_LT(counts.white, area * 30 / 100) << size;
    }
}

}  // namespace
}  // namespace traytest
