// The text dialog: a caption, a title line, a scrollable text, the contact line and "确定".
// The object owns its window; callers fill the texts and show it modal or not.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "FormWindow.h"
#include "Twips.h"
#include "UniqueHandle.h"

namespace tessaly {

class frmShowMsg : public Form<frmShowMsg> {
public:
    static constexpr wchar_t kClassName[] = L"TessalyShowMsg";
    static constexpr int kOKButtonId = IDOK;
    static constexpr int kTextMessageId = 101;
    static constexpr int kLblTitleId = 102;
    static constexpr int kLabel1Id = 103;

    frmShowMsg() noexcept = default;
    ~frmShowMsg();

    // Loads the window (hidden, centred over `owner`); the setters below load it as well.
    bool Load(HWND owner) noexcept;
    void Caption(std::wstring_view text) noexcept;
    void Title(std::wstring_view text) noexcept;    // caption of LblTitle
    void Message(std::wstring_view text) noexcept;  // text of TextMessage

    // Modal: the owner is disabled and this returns once the window is closed.
    void ShowModal() noexcept;
    void ShowModeless() noexcept;

    [[nodiscard]] HWND Window() const noexcept { return m_hwnd; }
    [[nodiscard]] HWND Control(int id) const noexcept { return m_hwnd ? ::GetDlgItem(m_hwnd, id) : nullptr; }

private:
    friend struct WindowThunk<frmShowMsg>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    bool EnsureLoaded() noexcept;
    void FormLoad() noexcept;
    void CreateControls() noexcept;

    HWND m_owner = nullptr;
    TwipsPerPixel m_tpp;
    unique_hfont m_font;
    unique_hfont m_contactFont;
};

}  // namespace tessaly
