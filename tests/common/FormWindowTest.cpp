// The form base: the modal loop takes the owner's input and gives it back, a quit closes the form and
// reaches the outer loop, the program's loop ends with the window, and a form left loaded goes with
// its object.
#include <windows.h>

#include <gtest/gtest.h>

#include "FormWindow.h"

namespace tessaly::test {
namespace {

class TestForm : public Form<TestForm> {
public:
    ~TestForm() { Unload(); }
    bool Load(HWND owner) {
        FormSpec spec;
        spec.className = L"TessalyFormBaseTest";
        spec.style = WS_POPUP | WS_CAPTION;
        spec.client = {200, 100};
        return CreateTopLevel(spec, owner);
    }
    using FormWindow::RunModal;
    using FormWindow::RunUntilClosed;
    int destroyed = 0;

private:
    friend struct WindowThunk<TestForm>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_DESTROY) ++destroyed;
        return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
};

TEST(FormWindow, ModalLoopHoldsTheOwnerUntilTheFormGoes) {
    TestForm owner;
    ASSERT_TRUE(owner.Load(nullptr));
    TestForm form;
    ASSERT_TRUE(form.Load(owner.hwnd()));
    bool ownerHeld = false;
    form.RunModal(owner.hwnd(), [&] {
        ownerHeld = !::IsWindowEnabled(owner.hwnd());
        ::PostMessageW(form.hwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(ownerHeld);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(form.destroyed, 1);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
}

TEST(FormWindow, QuitClosesAModalFormAndReachesTheOuterLoop) {
    TestForm owner;
    ASSERT_TRUE(owner.Load(nullptr));
    TestForm form;
    ASSERT_TRUE(form.Load(owner.hwnd()));
    form.RunModal(owner.hwnd(), [] { ::PostQuitMessage(7); });
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(FormWindow, ProgramLoopEndsWithTheWindowAndTheFormGoesWithItsObject) {
    TestForm form;
    ASSERT_TRUE(form.Load(nullptr));
    ::PostMessageW(form.hwnd(), WM_CLOSE, 0, 0);
    form.RunUntilClosed();
    EXPECT_FALSE(form.IsLoaded());

    HWND left = nullptr;
    {
        TestForm kept;
        ASSERT_TRUE(kept.Load(nullptr));
        left = kept.hwnd();
    }
    EXPECT_FALSE(::IsWindow(left));
}

}  // namespace
}  // namespace tessaly::test
