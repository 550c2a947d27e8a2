// The form base: the modal loop holds the owner while the form is up, a quit closes the form and
// reaches the outer loop, and the program's loop ends with the window.
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

private:
    friend struct WindowThunk<TestForm>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
        return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
};

TEST(FormWindow, ModalLoopHoldsTheOwnerAndAQuitClosesTheFormForTheOuterLoop) {
    TestForm owner, form;
    ASSERT_TRUE(owner.Load(nullptr));
    ASSERT_TRUE(form.Load(owner.hwnd()));
    bool ownerHeld = false;
    form.RunModal(owner.hwnd(), [&] {
        ownerHeld = !::IsWindowEnabled(owner.hwnd());
        ::PostQuitMessage(7);
    });
    EXPECT_TRUE(ownerHeld);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(FormWindow, ProgramLoopEndsWithTheWindow) {
    TestForm form;
    ASSERT_TRUE(form.Load(nullptr));
    ::PostMessageW(form.hwnd(), WM_CLOSE, 0, 0);
    form.RunUntilClosed();
    EXPECT_FALSE(form.IsLoaded());
}

}  // namespace
}  // namespace tessaly::test
