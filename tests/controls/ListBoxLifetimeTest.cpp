// The result list lets window messages run while it draws; a list whose window owns it is deleted
// when that window goes, so a drawing must never touch the object after those messages ran.
// Freed list objects are kept here, filled with a pattern, so a write after the delete shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ControlsTestSupport.h"
#include "usrCtlListBox.h"

using tessaly::usrCtlListBox;

namespace {

constexpr unsigned char kFreedByte = 0xDD;
std::atomic<bool> g_keepNextFreedList{false};
unsigned char* g_freedList = nullptr;

WNDPROC g_listProc = nullptr;
int g_sizeMessages = 0;

// Closes the list from inside the drawing that its second resize starts.
LRESULT CALLBACK CloseOnSecondResize(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE && ++g_sizeMessages == 2) ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return ::CallWindowProcW(g_listProc, hwnd, msg, wParam, lParam);
}

}  // namespace

void operator delete(void* p, std::size_t size) noexcept {
    if (p && size == sizeof(usrCtlListBox) && g_keepNextFreedList.exchange(false)) {
        std::memset(p, kFreedByte, size);
        g_freedList = static_cast<unsigned char*>(p);  // kept on purpose: the test reads it
        return;
    }
    std::free(p);
}

void operator delete(void* p) noexcept { std::free(p); }

TEST(ListBoxLifetime, DrawingStopsWhenTheListIsDeletedWhileMessagesRun) {
    tessaly::test::HostWindow host;
    ASSERT_TRUE(usrCtlListBox::RegisterWindowClasses());
    // Created from the class name alone: the window owns its list and deletes it on WM_NCDESTROY.
    HWND window = ::CreateWindowExW(0, usrCtlListBox::kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 400, 200,
                                    host.get(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window);
    tessaly::test::PumpMessages();
    g_listProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CloseOnSecondResize)));
    g_sizeMessages = 0;
    g_keepNextFreedList = true;

    // A height between two whole rows: the list snaps it, and that second resize closes the list.
    ::SetWindowPos(window, nullptr, 0, 0, 400, 333, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    ASSERT_FALSE(::IsWindow(window));
    ASSERT_NE(g_freedList, nullptr) << "the list object was not deleted with its window";
    const unsigned char* begin = g_freedList;
    const unsigned char* end = begin + sizeof(usrCtlListBox);
    EXPECT_TRUE(std::all_of(begin, end, [](unsigned char b) { return b == kFreedByte; }))
        << "the drawing wrote into the list after its window deleted it";
    g_keepNextFreedList = false;
}
