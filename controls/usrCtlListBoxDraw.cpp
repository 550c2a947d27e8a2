// Drawing of the result list and its scroll bar. Everything is drawn into back buffers; the
// windows only copy those images when they are painted.
#include "usrCtlListBox.h"

#include <algorithm>

#include "DoEvents.h"
#include "FaultLog.h"
#include "ListBoxGeometry.h"
#include "SystemColor.h"
#include "usrCtlListBoxTextFit.h"

namespace tessaly {

namespace {

constexpr COLORREF kScrollBackground = 0xE0E0E0;
constexpr COLORREF kThumbFill = RGB(180, 180, 180);
constexpr COLORREF kArrowColor = RGB(128, 128, 128);
constexpr COLORREF kTagTextColor = RGB(255, 255, 255);
// One line each, clipped to the row's text rectangle; the text is fitted before it is drawn.
constexpr UINT kTextFlags = DT_SINGLELINE | DT_NOPREFIX;
constexpr int kTextInsetLeft = 1;
constexpr int kTextInsetTop = 4;
constexpr int kTagOffset = 20;

void FillSolid(HDC dc, RECT rc, COLORREF color) noexcept {
    unique_hbrush brush(::CreateSolidBrush(color));
    if (brush) ::FillRect(dc, &rc, brush.get());
}

// A line in pixels that includes both end points.
void Line(HDC dc, int x1, int y1, int x2, int y2) noexcept {
    ::MoveToEx(dc, x1, y1, nullptr);
    ::LineTo(dc, x2, y2);
    ::LineTo(dc, x2 + (x2 >= x1 ? 1 : -1) * (y1 == y2 ? 1 : 0), y2 + (y2 >= y1 ? 1 : -1) * (x1 == x2 ? 1 : 0));
}

void FillTriangle(HDC dc, const POINT (&points)[3], COLORREF color) noexcept {
    unique_hrgn region(::CreatePolygonRgn(points, 3, WINDING));
    unique_hbrush brush(::CreateSolidBrush(color));
    if (region && brush) ::FillRgn(dc, region.get(), brush.get());
}

}  // namespace

void usrCtlListBox::SnapHeight() noexcept {
    RECT client{};
    ::GetClientRect(m_hwnd, &client);
    long wantTwips = listbox::SnappedHeight(m_ItemHeight, m_VisibleRows);
    int wantPixels = Py(static_cast<double>(wantTwips));
    if (wantPixels == client.bottom || m_drawDepth > 1) return;
    RECT window{};
    ::GetWindowRect(m_hwnd, &window);
    int frame = (window.bottom - window.top) - client.bottom;
    // The resize runs DrawListBox at once; that inner run finds the height unchanged.
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, window.right - window.left, wantPixels + frame,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void usrCtlListBox::DrawListBox() noexcept {
    if (!m_hwnd) return;
    // Window messages run twice below (here and inside the snapping resize); either may destroy
    // the window, and with it a list the window owns. The token outlives the object.
    const std::shared_ptr<const bool> alive = m_alive;
    DoEvents();
    if (!*alive || !m_hwnd || !::IsWindow(m_hwnd)) return;
    ++m_drawDepth;
    DrawSurface(*alive);
    if (*alive) --m_drawDepth;
}

void usrCtlListBox::DrawSurface(const bool& alive) noexcept {
    try {
        RECT client{};
        ::GetClientRect(m_hwnd, &client);
        m_VisibleRows = static_cast<short>(listbox::VisibleRowsFor(client.bottom * m_tpp.y, m_ItemHeight));
        SnapHeight();
        if (!alive || !m_hwnd) return;
        ::GetClientRect(m_hwnd, &client);
        double scaleWidth = client.right * m_tpp.x;
        double scaleHeight = client.bottom * m_tpp.y;

        HDC dc = m_surface.Prepare(m_hwnd);
        if (dc) {
            HFONT font = m_hostFont ? m_hostFont : m_font.get();
            SelectedObject selectedFont(dc, font);
            FillSolid(dc, RECT{0, 0, m_surface.Size().cx, m_surface.Size().cy}, ResolveColor(m_BackColor));
            DrawPicture(dc, client.right, client.bottom);
            DrawGridAndFrame(dc, scaleWidth, scaleHeight);
            if (m_ListCount > 0) {
                long first = 0;
                long last = m_ListCount - 1;
                if (m_ListCount > m_VisibleRows) {
                    PlaceScrollBar(scaleWidth, scaleHeight);
                    m_MaxScroll = listbox::MaxScrollFor(m_ListCount, m_VisibleRows);
                    DrawScrollBar(m_MaxScroll, m_CurIndex);
                    first = m_CurIndex;
                    last = std::min<long>(m_ListCount, m_CurIndex + m_VisibleRows) - 1;
                }
                ::SetBkMode(dc, TRANSPARENT);
                ::SetTextColor(dc, ResolveColor(m_ForeColor));
                m_textRight = RowTextRight(scaleWidth);
                for (long i = std::max<long>(first, 0); i <= last && i < m_ListCount; ++i) {
                    long k = i - first;
                    if (i == m_ListIndex) {
                        RECT band{Px(listbox::kEdgeInset), Py(static_cast<double>(k) * m_ItemHeight),
                                  Px(scaleWidth - listbox::kSelRightInset),
                                  Py(static_cast<double>(k + 1) * m_ItemHeight)};
                        FillSolid(dc, band, ResolveColor(m_SelColor));
                    }
                    auto r = listbox::RowTextRect(k, m_ItemHeight, m_tpp.y, m_textRight);
                    DrawItem(dc, RECT{r.left, r.top, r.right, r.bottom}, m_rows[static_cast<size_t>(i)]);
                }
            }
        }
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
    } catch (...) {
        LogCaughtFault(L"usrCtlListBox::DrawListBox");
    }
}

void usrCtlListBox::DrawPicture(HDC dc, int width, int height) noexcept {
    if (!m_Picture || !m_Picture->Bitmap()) return;
    unique_memdc source(::CreateCompatibleDC(dc));
    if (!source) return;
    SelectedObject selected(source.get(), m_Picture->Bitmap());
    SIZE size = m_Picture->Size();
    if (m_Stretch) {
        ::SetStretchBltMode(dc, HALFTONE);
        ::StretchBlt(dc, 0, 0, width, height, source.get(), 0, 0, size.cx, size.cy, SRCCOPY);
    } else {
        ::BitBlt(dc, 0, 0, size.cx, size.cy, source.get(), 0, 0, SRCCOPY);
    }
}

void usrCtlListBox::DrawGridAndFrame(HDC dc, double scaleWidth, double scaleHeight) noexcept {
    COLORREF border = ResolveColor(m_BorderColor);
    unique_hpen pen(::CreatePen(PS_SOLID, 1, border));
    if (!pen) return;
    SelectedObject selectedPen(dc, pen.get());
    if (m_Grid) {
        for (int k = 1; k <= m_VisibleRows; ++k) {
            int y = Py(static_cast<double>(k) * m_ItemHeight);
            Line(dc, Px(listbox::kEdgeInset), y, Px(scaleWidth - listbox::kEdgeInset), y);
        }
    }
    DrawFrame(dc, RECT{0, 0, static_cast<LONG>(scaleWidth - m_tpp.x), static_cast<LONG>(scaleHeight - m_tpp.y)},
              border);
}

void usrCtlListBox::DrawFrame(HDC dc, RECT twips, COLORREF color) noexcept {
    unique_hpen pen(::CreatePen(PS_SOLID, 1, color));
    if (!pen) return;
    SelectedObject selectedPen(dc, pen.get());
    int left = Px(twips.left), top = Py(twips.top), right = Px(twips.right), bottom = Py(twips.bottom);
    Line(dc, left, top, right, top);
    Line(dc, right, top, right, Py(twips.bottom + 15.0));
    Line(dc, left, bottom, right, bottom);
    Line(dc, left, top, left, bottom);
}

// Texts end before the scroll bar while it shows, else inside the frame. The bar's own style
// counts, not whether a hidden page around the list shows it right now.
long usrCtlListBox::RowTextRight(double scaleWidth) const noexcept {
    if (m_scrollBar && (::GetWindowLongPtrW(m_scrollBar, GWL_STYLE) & WS_VISIBLE) != 0) {
        RECT bar{};
        ::GetWindowRect(m_scrollBar, &bar);
        ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&bar), 2);
        return bar.left - listbox::kTextGapPixels;
    }
    return Px(scaleWidth - listbox::kEdgeInset) - listbox::kTextGapPixels;
}

void usrCtlListBox::DrawItem(HDC dc, RECT pixels, const ListItemData& row) noexcept {
    RECT rc = pixels;
    rc.left += kTextInsetLeft;
    rc.top += kTextInsetTop;
    const int width = rc.right - rc.left;
    const auto measure = [dc](std::wstring_view text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    COLORREF fore = ResolveColor(m_ForeColor);
    ::SetTextColor(dc, fore);
    ::SetBkMode(dc, TRANSPARENT);
    const std::wstring mainText = listbox::FitRowText(row.MainText, width, measure);
    ::DrawTextW(dc, mainText.c_str(), static_cast<int>(mainText.size()), &rc, kTextFlags);

    ::SetBkMode(dc, OPAQUE);
    ::SetBkColor(dc, ResolveColor(row.HeadBkColor));
    rc.top += kTagOffset;
    rc.bottom += kTagOffset;
    ::SetTextColor(dc, kTagTextColor);
    const std::wstring headText = listbox::FitRowText(row.HeadText, width, measure);
    ::DrawTextW(dc, headText.c_str(), static_cast<int>(headText.size()), &rc, kTextFlags);

    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, fore);
}

void usrCtlListBox::PlaceScrollBar(double scaleWidth, double scaleHeight) noexcept {
    if (!m_scrollBar) return;
    int width = Px(listbox::kScrollBarWidth);
    int height = std::max(0, Py(scaleHeight - 2.0 * listbox::kScrollBarInset));
    int left = Px(scaleWidth - listbox::kScrollBarWidth - listbox::kScrollBarInset);
    ::SetWindowPos(m_scrollBar, HWND_TOP, left, Py(listbox::kScrollBarInset), width, height,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void usrCtlListBox::DrawScrollBar(long m, long p) noexcept {
    if (!m_scrollBar) return;
    RECT client{};
    ::GetClientRect(m_scrollBar, &client);
    double scaleWidth = client.right * m_tpp.x;
    double scaleHeight = client.bottom * m_tpp.y;
    HDC dc = m_scrollSurface.Prepare(m_scrollBar);
    m_TrackLen = listbox::TrackLength(scaleHeight);
    m_ThumbLen = listbox::ThumbLength(m_TrackLen, m);
    if (dc) {
        FillSolid(dc, RECT{0, 0, m_scrollSurface.Size().cx, m_scrollSurface.Size().cy}, kScrollBackground);
        DrawScrollArrows(dc, scaleWidth, scaleHeight);
        auto span = listbox::ThumbPosition(m_TrackLen, m_ThumbLen, m, p);
        int top = Py(span.top), bottom = Py(span.bottom);
        FillSolid(dc, RECT{Px(listbox::kThumbFillLeft), top, Px(listbox::kThumbFillRight) + 1, bottom + 1},
                  kThumbFill);
        unique_hpen pen(::CreatePen(PS_SOLID, 1, ResolveColor(m_BorderColor)));
        if (pen) {
            SelectedObject selectedPen(dc, pen.get());
            int left = Px(listbox::kThumbFillLeft), right = Px(listbox::kThumbOutlineRight);
            Line(dc, left, top, right, top);
            Line(dc, left, top, left, bottom);
            Line(dc, left, bottom, right, bottom);
            Line(dc, right, top, right, Py(span.bottom + 10.0));
        }
    }
    ::InvalidateRect(m_scrollBar, nullptr, FALSE);
}

void usrCtlListBox::DrawScrollArrows(HDC dc, double scaleWidth, double scaleHeight) noexcept {
    double w = scaleWidth / m_tpp.x;
    long h = listbox::RoundHalfEven(scaleHeight / m_tpp.y);
    auto x = [&](double offset) { return static_cast<LONG>(listbox::RoundHalfEven(w / 2 + offset)); };
    const POINT up[3] = {{x(0), 8}, {x(5), 13}, {x(-5), 13}};
    const POINT down[3] = {{x(-4), h - 12}, {x(4), h - 12}, {x(0), h - 8}};
    FillTriangle(dc, up, kArrowColor);
    FillTriangle(dc, down, kArrowColor);
}

}  // namespace tessaly
