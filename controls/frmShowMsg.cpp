// The text dialog; see frmShowMsg.h.
#include "frmShowMsg.h"

#include "SupportContact.h"
#include "UiFont.h"
#include "modCommon.h"

namespace tessaly {

namespace {

constexpr int kClientWidth = 7080;   // twips
constexpr int kClientHeight = 4100;
constexpr COLORREF kContactColor = 0xFF0000;
constexpr wchar_t kContactText[] = L"有疑问请联系QQ：" TESSALY_SUPPORT_CONTACT;

enum class Kind { Button, Text, Label };

// Controls in their tab order, positions in twips.
struct ControlRow {
    Kind kind;
    int id;
    int left, top, width, height;
    const wchar_t* caption;
};
constexpr ControlRow kControls[] = {
    {Kind::Button, frmShowMsg::kOKButtonId, 5400, 3600, 1215, 375, L"确定"},
    {Kind::Text, frmShowMsg::kTextMessageId, 120, 960, 6735, 2535, L""},
    {Kind::Label, frmShowMsg::kLblTitleId, 240, 120, 6615, 735, L""},
    {Kind::Label, frmShowMsg::kLabel1Id, 240, 3720, 3255, 375, kContactText},
};

HICON MainWindowIcon(HWND owner) noexcept {
    HWND main = owner ? ::GetAncestor(owner, GA_ROOTOWNER) : nullptr;
    if (main) {
        auto icon = reinterpret_cast<HICON>(::SendMessageW(main, WM_GETICON, ICON_BIG, 0));
        if (!icon) icon = reinterpret_cast<HICON>(::GetClassLongPtrW(main, GCLP_HICON));
        if (icon) return icon;
    }
    return nullptr;
}

}  // namespace

frmShowMsg::~frmShowMsg() { Unload(); }

bool frmShowMsg::Load(HWND owner) noexcept {
    if (m_hwnd) return true;
    // A child window cannot own a top-level one; its top-level window takes its place.
    m_owner = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
    return EnsureLoaded();
}

bool frmShowMsg::EnsureLoaded() noexcept {
    if (m_hwnd) return true;
    m_tpp = ScreenTwipsPerPixel();
    FormSpec spec;
    spec.className = kClassName;
    spec.caption = L"TIP";
    spec.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    spec.exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    spec.client = {TwipsToPixels(kClientWidth, m_tpp.x), TwipsToPixels(kClientHeight, m_tpp.y)};
    return CreateTopLevel(spec, m_owner);
}

LRESULT frmShowMsg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        FormLoad();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kOKButtonId || LOWORD(wParam) == IDCANCEL) {
            Unload();  // OKButton_Click
            return 0;
        }
        break;
    case WM_CLOSE:
        Unload();
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == Control(kLabel1Id)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, kContactColor);
            ::SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        if (reinterpret_cast<HWND>(lParam) == Control(kTextMessageId)) {
            // The read-only text keeps the look of a text box.
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
            ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

void frmShowMsg::FormLoad() noexcept {
    if (HICON icon = MainWindowIcon(m_owner)) {
        ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    (void)InitCommonControlClasses();
    CreateControls();
}

void frmShowMsg::CreateControls() noexcept {
    m_font = CreateUiFont({L"宋体", 90});
    m_contactFont = CreateUiFont({L"宋体", 105, 100, 0, GB2312_CHARSET});
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    for (const ControlRow& row : kControls) {
        const wchar_t* cls = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD exStyle = 0;
        switch (row.kind) {
        case Kind::Button:
            cls = L"BUTTON";
            style |= WS_TABSTOP | BS_DEFPUSHBUTTON;
            break;
        case Kind::Text:
            cls = L"EDIT";
            style |= WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                     ES_READONLY | ES_WANTRETURN;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case Kind::Label:
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        }
        HWND control = ::CreateWindowExW(
            exStyle, cls, row.caption, style, TwipsToPixels(row.left, m_tpp.x), TwipsToPixels(row.top, m_tpp.y),
            TwipsToPixels(row.width, m_tpp.x), TwipsToPixels(row.height, m_tpp.y), m_hwnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
        HFONT font = row.id == kLabel1Id ? m_contactFont.get() : m_font.get();
        if (control && font) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

void frmShowMsg::Caption(std::wstring_view text) noexcept {
    if (EnsureLoaded()) ::SetWindowTextW(m_hwnd, std::wstring(text).c_str());
}

void frmShowMsg::Title(std::wstring_view text) noexcept {
    if (EnsureLoaded()) ::SetWindowTextW(Control(kLblTitleId), std::wstring(text).c_str());
}

void frmShowMsg::Message(std::wstring_view text) noexcept {
    if (EnsureLoaded()) ::SetWindowTextW(Control(kTextMessageId), std::wstring(text).c_str());
}

void frmShowMsg::ShowModeless() noexcept {
    if (!EnsureLoaded()) return;
    ::ShowWindow(m_hwnd, SW_SHOW);
    ::SetFocus(Control(kOKButtonId));
}

void frmShowMsg::ShowModal() noexcept {
    if (!EnsureLoaded()) return;
    HWND owner = m_owner;
    RunModal(owner, [this] {
        ::ShowWindow(m_hwnd, SW_SHOW);
        ::SetFocus(Control(kOKButtonId));
    });
    if (owner && ::IsWindow(owner)) ::SetForegroundWindow(owner);
}

}  // namespace tessaly
