// The result list: a child window that draws a vertical list of two-line rows (main text and a
// coloured tag) with its own scroll bar. It scrolls by its scroll bar, and by the wheel and the
// keyboard while it has the focus. The C++ object owns its window; a window created from the class
// name alone gets an object that the window owns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BackBuffer.h"
#include "ListPicture.h"
#include "PropertyBag.h"
#include "Twips.h"
#include "UniqueHandle.h"

namespace tessaly {

struct ListItemData {
    std::wstring HeadText;
    std::uint32_t HeadBkColor = 0;
    std::wstring MainText;
};

// Events raised to the host; any of them may be left empty. Coordinates are twips.
struct usrCtlListBoxEvents {
    std::function<void(short Button, short Shift, float X, float Y)> MouseDown;
    std::function<void(short Button, short Shift, float X, float Y)> MouseMove;
    std::function<void(short Button, short Shift, float X, float Y)> MouseUp;
    std::function<void()> Click;
    std::function<void()> DblClick;
    // A setter changed a saved property, so the host saves the set again.
    std::function<void(std::wstring_view name)> PropertyChanged;
};

class usrCtlListBox {
public:
    static constexpr wchar_t kClassName[] = L"usrCtlListBox";
    static constexpr wchar_t kScrollBarClassName[] = L"usrCtlListBoxScrollBar";
    static constexpr UINT_PTR kRepeatTimerId = 1;  // Timer1

    usrCtlListBox() noexcept;
    ~usrCtlListBox();
    usrCtlListBox(const usrCtlListBox&) = delete;
    usrCtlListBox& operator=(const usrCtlListBox&) = delete;

    static bool RegisterWindowClasses() noexcept;
    static usrCtlListBox* FromWindow(HWND window) noexcept;

    // Creates the window (pixel rectangle in the parent) and reads the saved properties, if given.
    bool Create(HWND parent, int x, int y, int width, int height, int id = 0,
                const PropertyBag* saved = nullptr) noexcept;
    [[nodiscard]] HWND Window() const noexcept { return m_hwnd; }
    [[nodiscard]] HWND ScrollBarWindow() const noexcept { return m_scrollBar; }
    usrCtlListBoxEvents& Events() noexcept { return m_events; }

    // Public members, in their interface order.
    long AddItem(std::wstring Text, std::wstring_view HeadText = L"Normal", long HeadBkColor = 3);
    bool UpdateItem(long ItemIndex, std::wstring_view MainText = {}, std::wstring_view HeadText = {},
                    long HeadBkColor = 0);
    void DrawListBox() noexcept;
    [[nodiscard]] short ItemHeight() const noexcept { return m_ItemHeight; }
    void ItemHeight(short value) noexcept;
    [[nodiscard]] bool Grid() const noexcept { return m_Grid; }
    void Grid(bool value) noexcept;
    [[nodiscard]] long ListIndex() const noexcept { return m_ListIndex; }
    void ListIndex(long value) noexcept;
    [[nodiscard]] long ListCount() const noexcept { return m_ListCount; }
    [[nodiscard]] long CurIndex() const noexcept { return m_CurIndex; }
    [[nodiscard]] std::uint32_t BorderColor() const noexcept { return m_BorderColor; }
    void BorderColor(std::uint32_t value) noexcept;
    [[nodiscard]] std::uint32_t BackColor() const noexcept { return m_BackColor; }
    void BackColor(std::uint32_t value) noexcept;
    // A row index outside the rows reads as "" and is not written.
    [[nodiscard]] std::wstring List(long Index) const;
    void List(long Index, std::wstring value);
    [[nodiscard]] std::uint32_t ForeColor() const noexcept { return m_ForeColor; }
    void ForeColor(std::uint32_t value) noexcept;
    [[nodiscard]] std::uint32_t SelColor() const noexcept { return m_SelColor; }
    void SelColor(std::uint32_t value) noexcept;
    [[nodiscard]] std::uint32_t SelTextColor() const noexcept { return m_SelTextColor; }
    void SelTextColor(std::uint32_t value) noexcept;
    [[nodiscard]] bool Stretch() const noexcept { return m_Stretch; }
    void Stretch(bool value) noexcept;
    [[nodiscard]] PicturePtr Picture() const noexcept { return m_Picture; }
    void Picture(PicturePtr value) noexcept;
    void Clear() noexcept;
    void RemoveItem(long Index) noexcept;

    // Saved properties.
    void ReadProperties(const PropertyBag& bag) noexcept;
    void WriteProperties(PropertyBag& bag) const;

    // State the drawing computes, for the host and for checks.
    [[nodiscard]] short VisibleRows() const noexcept { return m_VisibleRows; }
    [[nodiscard]] long MaxScroll() const noexcept { return m_MaxScroll; }
    [[nodiscard]] long TrackLen() const noexcept { return m_TrackLen; }
    [[nodiscard]] long ThumbLen() const noexcept { return m_ThumbLen; }
    [[nodiscard]] long HitCode() const noexcept { return m_HitCode; }
    [[nodiscard]] bool RepeatTimerEnabled() const noexcept { return m_timerEnabled; }
    // Milliseconds until the next arrow repeat: the pause after a press, then the repeat pace.
    [[nodiscard]] unsigned RepeatTimerIntervalMs() const noexcept { return m_timerIntervalMs; }
    // Right end of the row texts in the list's pixels, as the last redraw clipped them.
    [[nodiscard]] long TextRightPixel() const noexcept { return m_textRight; }
    [[nodiscard]] TwipsPerPixel Tpp() const noexcept { return m_tpp; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Mouse and keys; nothing when msg is neither.
    std::optional<LRESULT> HandleInput(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleScrollBarMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    void Initialize() noexcept;
    void ReportChange(std::wstring_view name) noexcept;
    void RaiseMouse(const std::function<void(short, short, float, float)>& handler, short button,
                    WPARAM wParam, LPARAM lParam) noexcept;
    void OnSurfaceMouseDown(short button, WPARAM wParam, LPARAM lParam) noexcept;

    // Drawing (usrCtlListBoxDraw.cpp).
    void SnapHeight() noexcept;
    void DrawSurface(const bool& alive) noexcept;
    void PlaceScrollBar(double scaleWidth, double scaleHeight) noexcept;
    void DrawScrollBar(long m, long p) noexcept;
    void DrawScrollArrows(HDC dc, double scaleWidth, double scaleHeight) noexcept;
    void DrawFrame(HDC dc, RECT twips, COLORREF color) noexcept;
    void DrawItem(HDC dc, RECT pixels, const ListItemData& row) noexcept;
    long RowTextRight(double scaleWidth) const noexcept;
    void DrawGridAndFrame(HDC dc, double scaleWidth, double scaleHeight) noexcept;
    void DrawPicture(HDC dc, int width, int height) noexcept;
    int Px(double twips) const noexcept { return TwipsToPixels(twips, m_tpp.x); }
    int Py(double twips) const noexcept { return TwipsToPixels(twips, m_tpp.y); }

    // Scroll bar, wheel and keys (usrCtlListBoxScroll.cpp).
    void ScrollBarMouseDown(double yTwips, bool dragged) noexcept;
    void ScrollBarMouseMove(double yTwips) noexcept;
    void ScrollBarMouseUp() noexcept;
    void RepeatTick() noexcept;
    bool ArrowStep() noexcept;
    void EnableRepeatTimer(bool enable, unsigned intervalMs = 0) noexcept;
    void ScrollTo(long position) noexcept;
    bool ScrollKey(WPARAM key) noexcept;
    void ScrollWheel(short delta) noexcept;
    [[nodiscard]] bool Overflows() const noexcept { return m_ListCount > m_VisibleRows && m_VisibleRows > 0; }

    HWND m_hwnd = nullptr;
    HWND m_scrollBar = nullptr;
    bool m_ownedByWindow = false;
    usrCtlListBoxEvents m_events;
    TwipsPerPixel m_tpp;
    BackBuffer m_surface;
    BackBuffer m_scrollSurface;
    unique_hfont m_font;
    HFONT m_hostFont = nullptr;
    int m_drawDepth = 0;
    // False once the object is destroyed; a drawing that lets messages run holds a copy.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_timerEnabled = false;
    unsigned m_timerIntervalMs = 0;
    int m_wheelRemainder = 0;  // part of a notch a fine-grained wheel has turned
    long m_textRight = 0;

    long m_ListCount = 0;
    long m_ListIndex = -1;
    bool m_Grid = false;
    short m_VisibleRows = 0;
    long m_CurIndex = 0;
    short m_ItemHeight = 700;
    bool m_Stretch = false;
    std::uint32_t m_BorderColor = 0x8000000A;
    std::uint32_t m_SelColor = 0xFF0000;
    std::uint32_t m_SelTextColor = 0xFFFFFF;
    PicturePtr m_Picture;
    long m_MaxScroll = 0;
    long m_TrackLen = 0;
    long m_ThumbLen = 0;
    std::vector<ListItemData> m_rows;
    DWORD m_LastTick = 0;
    long m_HitCode = 0;
    std::uint32_t m_BackColor = 0xFFFFFF;
    std::uint32_t m_ForeColor = 0;
};

}  // namespace tessaly
