// The result list's window, row model, properties and mouse selection. Drawing lives in
// usrCtlListBoxDraw.cpp, the scroll bar in usrCtlListBoxScroll.cpp.
#include "usrCtlListBox.h"

#include <windowsx.h>

#include <algorithm>
#include <limits>
#include <optional>

#include "FaultLog.h"
#include "ListBoxGeometry.h"
#include "UiFont.h"
#include "WindowClass.h"

namespace tessaly {

namespace {

short ShiftState(WPARAM wParam) noexcept {
    short shift = 0;
    if (wParam & MK_SHIFT) shift |= 1;
    if (wParam & MK_CONTROL) shift |= 2;
    if (::GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

short ButtonsHeld(WPARAM wParam) noexcept {
    short button = 0;
    if (wParam & MK_LBUTTON) button |= 1;
    if (wParam & MK_RBUTTON) button |= 2;
    if (wParam & MK_MBUTTON) button |= 4;
    return button;
}

}  // namespace

usrCtlListBox::usrCtlListBox() noexcept { Initialize(); }

usrCtlListBox::~usrCtlListBox() {
    *m_alive = false;
    if (m_hwnd && !m_ownedByWindow) {
        HWND hwnd = m_hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_hwnd = nullptr;
        ::DestroyWindow(hwnd);
    }
}

void usrCtlListBox::Initialize() noexcept {
    m_BorderColor = 0x8000000A;
    m_BackColor = 0xFFFFFF;
    m_ForeColor = 0;
    m_SelColor = 0xFF0000;
    m_SelTextColor = 0xFFFFFF;
    m_Stretch = false;
    m_Picture.reset();
    m_ItemHeight = listbox::kMinItemHeight;
    m_ListCount = 0;
    m_ListIndex = -1;
    m_CurIndex = 0;
    m_MaxScroll = 0;
    m_Grid = false;
    m_rows.clear();
    m_rows.shrink_to_fit();
}

bool usrCtlListBox::RegisterWindowClasses() noexcept {
    return RegisterWindowClass(kClassName, &usrCtlListBox::WindowProc, {CS_DBLCLKS}) &&
           RegisterWindowClass(kScrollBarClassName, &usrCtlListBox::ScrollBarProc);
}

usrCtlListBox* usrCtlListBox::FromWindow(HWND window) noexcept {
    if (!window) return nullptr;
    return reinterpret_cast<usrCtlListBox*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool usrCtlListBox::Create(HWND parent, int x, int y, int width, int height, int id,
                           const PropertyBag* saved) noexcept {
    if (m_hwnd || !RegisterWindowClasses()) return false;
    // Saved properties are read after initialisation and before the first drawing.
    if (saved) ReadProperties(*saved);
    HWND hwnd = ::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, x, y, width,
                                  height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), this);
    return hwnd != nullptr;
}

LRESULT CALLBACK usrCtlListBox::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        usrCtlListBox* self = nullptr;
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            self = static_cast<usrCtlListBox*>(cs->lpCreateParams);
            if (!self) {
                // Created from the class name alone: the window owns its object.
                self = new usrCtlListBox();
                self->m_ownedByWindow = true;
            }
            self->m_hwnd = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = FromWindow(hwnd);
        }
        if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->m_hwnd = nullptr;
            self->m_scrollBar = nullptr;
            if (self->m_ownedByWindow) delete self;
            return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        }
        return self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        LogCaughtFault(L"usrCtlListBox::WindowProc");
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT usrCtlListBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (const std::optional<LRESULT> handled = HandleInput(msg, wParam, lParam)) return *handled;
    switch (msg) {
    case WM_CREATE: {
        m_tpp = ScreenTwipsPerPixel();
        m_font = CreateUiFont({L"宋体", 90});
        m_scrollBar = ::CreateWindowExW(0, kScrollBarClassName, L"", WS_CHILD, 0, 0,
                                        Px(listbox::kScrollBarWidth), 1, m_hwnd, nullptr,
                                        ::GetModuleHandleW(nullptr), this);
        return m_scrollBar ? 0 : -1;
    }
    case WM_SHOWWINDOW:
        if (wParam) DrawListBox();
        break;
    case WM_SIZE:
        DrawListBox();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintDc paint(m_hwnd);
        m_surface.PaintTo(paint.get());
        return 0;
    }
    case WM_PRINTCLIENT:
        m_surface.PaintTo(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETFONT:
        m_hostFont = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) DrawListBox();
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_hostFont ? m_hostFont : m_font.get());
    case WM_TIMER:
        if (wParam == kRepeatTimerId) RepeatTick();
        return 0;
    case WM_DESTROY:
        EnableRepeatTimer(false);
        break;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

std::optional<LRESULT> usrCtlListBox::HandleInput(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_LBUTTONDOWN:
        ::SetFocus(m_hwnd);  // every Windows list takes the focus on a click
        OnSurfaceMouseDown(1, wParam, lParam);
        return 0;
    case WM_RBUTTONDOWN:
        ::SetFocus(m_hwnd);
        OnSurfaceMouseDown(2, wParam, lParam);
        return 0;
    case WM_MBUTTONDOWN:
        OnSurfaceMouseDown(4, wParam, lParam);
        return 0;
    case WM_MOUSEWHEEL:
        ScrollWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_KEYDOWN:
        if (ScrollKey(wParam)) return 0;
        return std::nullopt;
    case WM_GETDLGCODE:
        // The arrow keys scroll the list instead of moving the focus on through the dialog.
        return DLGC_WANTARROWS;
    case WM_MOUSEMOVE:
        RaiseMouse(m_events.MouseMove, ButtonsHeld(wParam), wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
        RaiseMouse(m_events.MouseUp, 1, wParam, lParam);
        if (m_events.Click) m_events.Click();
        return 0;
    case WM_RBUTTONUP:
        RaiseMouse(m_events.MouseUp, 2, wParam, lParam);
        return 0;
    case WM_MBUTTONUP:
        RaiseMouse(m_events.MouseUp, 4, wParam, lParam);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (m_events.DblClick) m_events.DblClick();
        return 0;
    default:
        return std::nullopt;
    }
}

void usrCtlListBox::RaiseMouse(const std::function<void(short, short, float, float)>& handler, short button,
                               WPARAM wParam, LPARAM lParam) noexcept {
    if (!handler) return;
    try {
        float x = static_cast<float>(GET_X_LPARAM(lParam) * m_tpp.x);
        float y = static_cast<float>(GET_Y_LPARAM(lParam) * m_tpp.y);
        handler(button, ShiftState(wParam), x, y);
    } catch (...) {
        // A host handler's fault must not leave the window procedure.
        LogCaughtFault(L"usrCtlListBox::RaiseMouse");
    }
}

void usrCtlListBox::OnSurfaceMouseDown(short button, WPARAM wParam, LPARAM lParam) noexcept {
    if (button == 1) {
        double y = GET_Y_LPARAM(lParam) * m_tpp.y;
        m_ListIndex = listbox::IndexFromY(y, m_ItemHeight, m_CurIndex, m_ListCount);
        DrawListBox();
    }
    RaiseMouse(m_events.MouseDown, button, wParam, lParam);
}

void usrCtlListBox::ReportChange(std::wstring_view name) noexcept {
    if (!m_events.PropertyChanged) return;
    try {
        m_events.PropertyChanged(name);
    } catch (...) {
        LogCaughtFault(L"usrCtlListBox::ReportChange");
    }
}

long usrCtlListBox::AddItem(std::wstring Text, std::wstring_view HeadText, long HeadBkColor) {
    ListItemData row;
    row.MainText = std::move(Text);
    row.HeadText = std::wstring(HeadText);
    row.HeadBkColor = listbox::HeadBkColorFromCode(HeadBkColor);
    m_rows.push_back(std::move(row));
    m_ListCount = static_cast<long>(m_rows.size());
    DrawListBox();
    return m_ListCount - 1;
}

bool usrCtlListBox::UpdateItem(long ItemIndex, std::wstring_view MainText, std::wstring_view HeadText,
                               long HeadBkColor) {
    if (ItemIndex < 0 || ItemIndex >= m_ListCount) return false;
    ListItemData& row = m_rows[static_cast<size_t>(ItemIndex)];
    if (!MainText.empty()) row.MainText = std::wstring(MainText);
    if (!HeadText.empty()) row.HeadText = std::wstring(HeadText);
    if (HeadBkColor != 0) row.HeadBkColor = listbox::HeadBkColorFromCode(HeadBkColor);
    DrawListBox();
    return true;
}

void usrCtlListBox::ItemHeight(short value) noexcept {
    m_ItemHeight = std::max<short>(value, listbox::kMinItemHeight);
    ReportChange(L"ItemHeight");
    DrawListBox();
}

void usrCtlListBox::Grid(bool value) noexcept {
    m_Grid = value;
    ReportChange(L"Grid");
    DrawListBox();
}

void usrCtlListBox::ListIndex(long value) noexcept {
    m_ListIndex = value;
    ReportChange(L"ListIndex");
    DrawListBox();
}

void usrCtlListBox::BorderColor(std::uint32_t value) noexcept {
    m_BorderColor = value;
    ReportChange(L"BorderColor");
    DrawListBox();
}

void usrCtlListBox::BackColor(std::uint32_t value) noexcept {
    m_BackColor = value;
    ReportChange(L"BackColor");
    DrawListBox();
}

std::wstring usrCtlListBox::List(long Index) const {
    if (Index < 0 || Index >= m_ListCount) return {};
    return m_rows[static_cast<size_t>(Index)].MainText;
}

void usrCtlListBox::List(long Index, std::wstring value) {
    if (Index < 0 || Index >= m_ListCount) return;
    m_rows[static_cast<size_t>(Index)].MainText = std::move(value);
    ReportChange(L"List");
}

void usrCtlListBox::ForeColor(std::uint32_t value) noexcept {
    m_ForeColor = value;
    ReportChange(L"ForeColor");
}

void usrCtlListBox::SelColor(std::uint32_t value) noexcept {
    m_SelColor = value;
    ReportChange(L"SelColor");
}

void usrCtlListBox::SelTextColor(std::uint32_t value) noexcept {
    m_SelTextColor = value;
    ReportChange(L"SelTextColor");
}

void usrCtlListBox::Stretch(bool value) noexcept {
    m_Stretch = value;
    ReportChange(L"Stretch");
    DrawListBox();
}

void usrCtlListBox::Picture(PicturePtr value) noexcept {
    m_Picture = std::move(value);
    ReportChange(L"Picture");
    DrawListBox();
}

void usrCtlListBox::Clear() noexcept {
    m_ListCount = 0;
    m_ListIndex = -1;
    m_CurIndex = 0;
    m_MaxScroll = 0;
    if (m_scrollBar) ::ShowWindow(m_scrollBar, SW_HIDE);
    m_rows.clear();
    m_rows.shrink_to_fit();
    DrawListBox();
}

void usrCtlListBox::RemoveItem(long Index) noexcept {
    if (Index == -1) return;
    if (m_ListCount == 1) {
        Clear();
        return;
    }
    // Any other index outside the rows is the caller's error; it changes nothing.
    if (Index < 0 || Index >= m_ListCount) return;
    m_rows.erase(m_rows.begin() + Index);
    m_ListIndex = -1;
    m_ListCount = static_cast<long>(m_rows.size());
}

void usrCtlListBox::ReadProperties(const PropertyBag& bag) noexcept {
    try {
        constexpr long kLongMin = std::numeric_limits<std::int32_t>::min();
        constexpr long kLongMax = std::numeric_limits<std::int32_t>::max();
        auto readColor = [&](const wchar_t* name, std::uint32_t& field) {
            if (auto v = bag.ReadLong(name, kLongMin, kLongMax)) field = static_cast<std::uint32_t>(*v);
        };
        if (auto v = bag.ReadLong(L"ItemHeight", std::numeric_limits<short>::min(), std::numeric_limits<short>::max()))
            m_ItemHeight = static_cast<short>(*v);
        if (auto v = bag.ReadBool(L"Grid")) m_Grid = *v;
        if (auto v = bag.ReadLong(L"ListIndex", kLongMin, kLongMax)) m_ListIndex = *v;
        readColor(L"BorderColor", m_BorderColor);
        readColor(L"BackColor", m_BackColor);
        readColor(L"ForeColor", m_ForeColor);
        readColor(L"SelColor", m_SelColor);
        readColor(L"SelTextColor", m_SelTextColor);
        if (auto v = bag.ReadBool(L"Stretch")) m_Stretch = *v;
        if (auto v = bag.Read(L"Picture"); v && !v->empty()) {
            // A picture file that cannot be loaded leaves the list without a picture.
            if (auto picture = ListPicture::FromFile(*v)) m_Picture = std::move(picture);
        }
    } catch (...) {
        LogCaughtFault(L"usrCtlListBox::ReadProperties");
    }
}

void usrCtlListBox::WriteProperties(PropertyBag& bag) const {
    bag.WriteLong(L"ItemHeight", m_ItemHeight);
    bag.WriteBool(L"Grid", m_Grid);
    bag.WriteLong(L"ListIndex", m_ListIndex);
    bag.WriteLong(L"BorderColor", static_cast<std::int32_t>(m_BorderColor));
    bag.WriteLong(L"BackColor", static_cast<std::int32_t>(m_BackColor));
    bag.WriteLong(L"ForeColor", static_cast<std::int32_t>(m_ForeColor));
    bag.WriteLong(L"SelColor", static_cast<std::int32_t>(m_SelColor));
    bag.WriteLong(L"SelTextColor", static_cast<std::int32_t>(m_SelTextColor));
    bag.WriteBool(L"Stretch", m_Stretch);
    if (m_Picture) bag.Write(L"Picture", m_Picture->Source());
}

}  // namespace tessaly
