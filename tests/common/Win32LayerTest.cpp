// The shared Win32 layer: owners release exactly once, a window class registers once, fonts come
// out at the size asked, bounded polls keep their deadline and let window events run, and a fault
// caught in a window procedure reaches the program's error log.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>

#include "BoundedPoll.h"
#include "FaultLog.h"
#include "TestSupport.h"
#include "UiFont.h"
#include "UniqueHandle.h"
#include "WindowClass.h"
#include "WindowThunk.h"
#include "modCommon.h"

using namespace tessaly;

namespace {

std::string ReadLog(const std::wstring& name) {
    return testsupport::ReadBytes(GetCommonDataFolder() + name + L".err");
}

class ThrowingWindow {
public:
    HWND m_hwnd = nullptr;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_APP + 7) throw std::runtime_error("handler fault 7");
        return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
};

}  // namespace

TEST(Win32Layer, VariantAndBstrOwnersClearWhatTheyHold) {
    unique_variant value;
    EXPECT_EQ(value.get().vt, VT_EMPTY);
    value.put()->vt = VT_BSTR;
    value.get().bstrVal = MakeBstr(L"text with\0nul").release();
    unique_variant moved(std::move(value));
    EXPECT_EQ(value.get().vt, VT_EMPTY);
    EXPECT_EQ(moved.get().vt, VT_BSTR);
    moved.reset();
    EXPECT_EQ(moved.get().vt, VT_EMPTY);

    const std::wstring_view embedded(L"a\0b", 3);
    unique_bstr text = MakeBstr(embedded);
    ASSERT_TRUE(text);
    EXPECT_EQ(::SysStringLen(text.get()), 3u);
}

TEST(Win32Layer, ProcessHandlesAreOwnedAndAddressListsFreed) {
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(),
                                  &info.hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS));
    info.dwProcessId = ::GetCurrentProcessId();
    ProcessHandles handles = TakeProcessHandles(info);
    EXPECT_TRUE(handles.process);
    EXPECT_FALSE(handles.thread);
    EXPECT_EQ(handles.processId, ::GetCurrentProcessId());
    DWORD flags = 0;
    handles.process.reset();
    EXPECT_FALSE(::GetHandleInformation(info.hProcess, &flags));

    const WinsockSession winsock;
    ASSERT_TRUE(winsock.ok());
    unique_addrinfo found;
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    EXPECT_EQ(::GetAddrInfoW(L"127.0.0.1", nullptr, &hints, found.put()), 0);
    EXPECT_TRUE(found);
}

TEST(Win32Layer, WindowClassRegistersOnceAndAgainIsSuccess) {
    const wchar_t* name = L"TessalyLayerTestClass";
    EXPECT_TRUE(RegisterWindowClass(name, ::DefWindowProcW, {CS_DBLCLKS, DialogBackground()}));
    EXPECT_TRUE(RegisterWindowClass(name, ::DefWindowProcW));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), name, &wc));
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS));  // the first registration stands
    EXPECT_EQ(wc.hbrBackground, DialogBackground());
}

TEST(Win32Layer, FontsComeOutAtTheSizeAsked) {
    LOGFONTW named{};
    ASSERT_TRUE(UiLogFont({L"宋体", 105, 100, 0, GB2312_CHARSET}, named));
    EXPECT_STREQ(named.lfFaceName, L"宋体");
    EXPECT_EQ(named.lfCharSet, GB2312_CHARSET);
    EXPECT_EQ(named.lfWeight, FW_NORMAL);
    const int dpi = ::GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSY);
    EXPECT_EQ(named.lfHeight, -::MulDiv(105, dpi, 720));

    LOGFONTW base{}, big{};
    ASSERT_TRUE(MessageLogFont(base));
    ASSERT_TRUE(UiLogFont({nullptr, 0, 150, FW_BOLD}, big));
    EXPECT_EQ(big.lfHeight, base.lfHeight * 3 / 2);  // the fraction dropped, as the pages always did
    EXPECT_EQ(big.lfWidth, base.lfWidth);
    EXPECT_EQ(big.lfWeight, FW_BOLD);
    EXPECT_TRUE(CreateUiFont({}));
}

TEST(Win32Layer, PollEndsWhenDoneOrAtTheDeadlineAndRunsWindowEvents) {
    int tries = 0;
    EXPECT_EQ(PollUntil([&] { return ++tries == 3; }, {1000, 1}), PollResult::Done);
    EXPECT_EQ(tries, 3);

    // Until the deadline it keeps trying, between dozes.
    tries = 0;
    EXPECT_EQ(PollUntil([&] { ++tries; return false; }, {120, 50}), PollResult::TimedOut);
    EXPECT_GE(tries, 2);

    tries = 0;
    EXPECT_EQ(PollUntil([&] { ++tries; return false; }, {0, 1}), PollResult::TimedOut);
    EXPECT_EQ(tries, 1);  // a zero deadline tries once

    // A message posted to our own window runs while the poll waits.
    ASSERT_TRUE(RegisterWindowClass(L"TessalyPollTestClass", ::DefWindowProcW));
    HWND window = ::CreateWindowExW(0, L"TessalyPollTestClass", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window);
    ::PostMessageW(window, WM_CLOSE, 0, 0);  // DefWindowProc destroys the window
    EXPECT_EQ(PollUntil([&] { return !::IsWindow(window); }, {2000, 10}), PollResult::Done);

    ::PostQuitMessage(3);
    EXPECT_EQ(PollUntil([] { return false; }, {2000, 10}), PollResult::Quit);
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // reposted for the outer loop
    EXPECT_EQ(msg.wParam, 3u);

    EXPECT_EQ(PollUntil([]() -> bool { throw std::runtime_error("condition fault"); }, {1000, 1}),
              PollResult::TimedOut);
    EXPECT_NE(ReadLog(ProgramErrLogName()).find("condition fault"), std::string::npos);
}

TEST(Win32Layer, FaultInsideAWindowProcedureIsLoggedWithItsPlace) {
    EXPECT_EQ(ProgramErrLogName(), L"common_tests.exe");
    ASSERT_TRUE(RegisterWindowClass(L"TessalyThrowingWindow", &WindowThunk<ThrowingWindow>::Proc));
    ThrowingWindow self;
    HWND window = ::CreateWindowExW(0, L"TessalyThrowingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleW(nullptr), &self);
    ASSERT_TRUE(window);
    ::SendMessageW(window, WM_APP + 7, 0, 0);  // must come back, not unwind into the caller
    const std::string log = ReadLog(ProgramErrLogName());
    const auto at = log.find("handler fault 7");
    ASSERT_NE(at, std::string::npos);
    const std::string line = log.substr(log.rfind('\n', at) + 1, log.find('\n', at) - log.rfind('\n', at));
    EXPECT_NE(line.find("fault in window procedure (WindowThunk.h:"), std::string::npos) << line;
    ::DestroyWindow(window);

    LogFault(L"named place", L"what went wrong");
    EXPECT_NE(ReadLog(ProgramErrLogName()).find("fault in named place (Win32LayerTest.cpp:"), std::string::npos);
}
