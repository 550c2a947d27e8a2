// The one base of the programs' forms and pages. It owns the window (a form destroys it through
// Unload in its own destructor, while its members still live), creates it through the class helper
// and the window thunk, places a top-level window over its owner or the work area, and runs the
// message loops: the program's own and the modal one, both dispatching every window of the thread,
// so the owner's timers and paint go on while a modal form is up.
#pragma once

#include <windows.h>

#include <functional>

#include "WindowClass.h"
#include "WindowThunk.h"

namespace tessaly {

// A top-level form's window: its class, caption, styles and client size in pixels.
struct FormSpec {
    const wchar_t* className = nullptr;
    const wchar_t* caption = L"";
    DWORD style = 0;
    DWORD exStyle = 0;
    SIZE client{};
    WindowClassOptions classOptions{0, DialogBackground()};
};

enum class FormPlace {
    Centred,        // over the owner, or over the work area without one (WindowPlacement.h)
    SystemDefault,  // where the system puts a new window: for forms that are never shown
};

// Sees each message before the form's loop dispatches it; true when it took the message.
using MessageFilter = std::function<bool(MSG&)>;

class FormWindow {
public:
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return m_hwnd; }
    [[nodiscard]] bool IsLoaded() const noexcept { return m_hwnd != nullptr; }
    // Destroys the window now, so its WM_DESTROY runs; a modal form first gives its owner its input
    // back, so activation returns there. A second call does nothing.
    void Unload() noexcept;

protected:
    FormWindow() noexcept = default;
    // The form's own destructor has unloaded it; a window still here goes without reaching the
    // half-destroyed form.
    ~FormWindow();

    bool CreateTopLevel(WNDPROC proc, void* self, const FormSpec& spec, HWND owner, FormPlace place) noexcept;
    // A page of size twips at left/top pixels of parent (FormLayout.h CreatePageWindow).
    bool CreatePage(WNDPROC proc, void* self, const wchar_t* className, HWND parent, POINT at, SIZE twips,
                    int id) noexcept;
    // Shows the window and paints it at once.
    void ShowNow(int command = SW_SHOW) noexcept;

    // The program's loop: runs until the window is gone or WM_QUIT arrives. With dialogKeys the
    // form's controls get Tab, arrows and the default button.
    void RunUntilClosed(const MessageFilter& filter = {}, bool dialogKeys = true) noexcept;
    // The modal loop: owner takes no input until the form is gone; show, when given, runs once the
    // owner is disabled. A WM_QUIT unloads the form and is posted again for the outer loop.
    void RunModal(HWND owner, const std::function<void()>& show = {}) noexcept;

    HWND m_hwnd = nullptr;  // set and cleared by WindowThunk

private:
    bool Pump(const MessageFilter& filter, bool dialogKeys, int& quitCode) noexcept;

    HWND m_modalOwner = nullptr;
};

// The base of form or page class T, which befriends WindowThunk<T> and receives its messages in
// T::HandleMessage.
template <typename T>
class Form : public FormWindow {
protected:
    bool CreateTopLevel(const FormSpec& spec, HWND owner = nullptr, FormPlace place = FormPlace::Centred) noexcept {
        return FormWindow::CreateTopLevel(&WindowThunk<T>::Proc, static_cast<T*>(this), spec, owner, place);
    }
    bool CreatePage(const wchar_t* className, HWND parent, POINT at, SIZE twips, int id = 0) noexcept {
        return FormWindow::CreatePage(&WindowThunk<T>::Proc, static_cast<T*>(this), className, parent, at, twips, id);
    }
};

}  // namespace tessaly
