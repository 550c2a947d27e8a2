// The main window itself: its class, the controls and page frames, the top buttons with their
// hover pictures, and the message dispatch.
#include "frmMain.h"

#include "FormLayout.h"
#include "MainStartup.h"
#include "PixelScale.h"
#include "UiFont.h"
#include "frmMainLayout.h"

namespace tessaly {
namespace {

constexpr wchar_t kFormClass[] = L"TessalyMainForm";
constexpr wchar_t kFrameClass[] = L"TessalyPageFrame";
constexpr wchar_t kTopButtonClass[] = L"TessalyTopButton";

// What a top button tells its form.
constexpr UINT kMsgTopBtnMove = WM_APP + 1;
constexpr UINT kMsgTopBtnDown = WM_APP + 2;
constexpr UINT kMsgTopBtnClick = WM_APP + 3;

constexpr DWORD kChild = WS_CHILD | WS_CLIPSIBLINGS;

// A top button is a plain surface: its picture and caption are static controls that let the
// mouse through, so every press and move over the button reaches the form with the button's index.
LRESULT CALLBACK TopButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    HWND form = ::GetParent(hwnd);
    const WPARAM index = static_cast<WPARAM>(::GetDlgCtrlID(hwnd) - frmMain::kIdPicTopBtn0);
    switch (msg) {
    case WM_MOUSEMOVE: ::SendMessageW(form, kMsgTopBtnMove, index, 0); return 0;
    case WM_LBUTTONDOWN: ::SendMessageW(form, kMsgTopBtnDown, index, 0); return 0;
    case WM_LBUTTONUP: {
        RECT client{};
        ::GetClientRect(hwnd, &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (::PtInRect(&client, at)) ::SendMessageW(form, kMsgTopBtnClick, index, 0);
        return 0;
    }
    case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(hwnd, &client);
        const int colour = static_cast<int>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(colour));
        return 1;
    }
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC: return ::SendMessageW(form, msg, wParam, lParam);
    default: return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// The form's own class is registered as the form is made.
bool RegisterClasses() {
    return RegisterWindowClass(kFrameClass, ::DefWindowProcW, {0, DialogBackground()}) &&
           RegisterWindowClass(kTopButtonClass, TopButtonProc, {0, nullptr, IDC_HAND});
}

}  // namespace

bool frmMain::CreateFormWindow() {
    if (!RegisterClasses()) return false;
    const PixelScale scale = ScreenScale();
    FormSpec spec;
    spec.className = kFormClass;
    spec.caption = L"frmMain";
    spec.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    spec.exStyle = WS_EX_CONTROLPARENT;
    spec.client = {scale.X(main_window::kClientWidth), scale.Y(main_window::kClientHeight)};
    return CreateTopLevel(spec);
}

void frmMain::CreateControls() {
    m_font = CreateUiFont({});
    m_boldFont = CreateUiFont({nullptr, 0, 100, FW_BOLD});
    m_errorFont = CreateUiFont({nullptr, main_window::kErrorFontPoints10, 100, FW_NORMAL});
    m_bigErrorFont = CreateUiFont({nullptr, main_window::kBigErrorFontPoints10, 100, FW_NORMAL});

    using namespace main_window;
    const PixelScale scale = ScreenScale();
    for (int i = 0; i < kPageCount; ++i)
        CreateLayoutControl(m_hwnd,
                            {kIdFrameContent0 + i, kFrameClass, L"", kChild | WS_CLIPCHILDREN, 0, kTopBarHeight,
                             kPageAreaWidth, kPageAreaHeight},
                            scale, nullptr, WS_EX_CONTROLPARENT);
    CreateTopButtons();
    CreateLayoutControl(m_hwnd,
                        {kIdLblLoadEngineError, L"STATIC", L"EGINE ERROR", kChild | SS_LEFT | SS_NOPREFIX, kErrorLeft,
                         kErrorTop, kErrorWidth, kErrorHeight},
                        scale, m_errorFont.get());
    const std::wstring contact = main_startup::ContactText();
    CreateLayoutControl(m_hwnd,
                        {kIdLblContactUs, L"STATIC", contact.c_str(), kChild | SS_RIGHT | SS_NOPREFIX | SS_NOTIFY,
                         kContactLeft, kContactTop, kContactWidth, kContactHeight},
                        scale, m_font.get());
}

void frmMain::CreateTopButtons() {
    using namespace main_window;
    const PixelScale scale = ScreenScale();
    for (int i = 0; i < kPageCount; ++i) {
        const int left = kTopBtnFirstLeft + kTopBtnSlot[i] * kTopBtnStep;
        const DWORD shown = i == 2 ? 0 : WS_VISIBLE;  // "监控" has no page to show
        HWND button = CreateLayoutControl(m_hwnd,
                                          {kIdPicTopBtn0 + i, kTopButtonClass, kTopBtnCaptions[i], kChild | shown, left,
                                           kTopBtnTop, kTopBtnWidth, kTopBtnHeight},
                                          scale, nullptr);
        m_topBtnBack[i] = COLOR_WINDOW;
        ::SetWindowLongPtrW(button, GWLP_USERDATA, COLOR_WINDOW);
        CreateLayoutControl(button,
                            {kIdImgTopBtn0 + i, L"STATIC", L"", kChild | WS_VISIBLE | SS_OWNERDRAW, kImgLeft, kImgTop,
                             kImgSize, kImgSize},
                            scale, nullptr);
        CreateLayoutControl(button,
                            {kIdLblTopBtn0 + i, L"STATIC", kTopBtnCaptions[i],
                             kChild | WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0, kLblTop, kTopBtnWidth, kLblHeight},
                            scale, m_font.get());
    }
}

// The pages run their own start-up as they are made, before the window's.
void frmMain::CreatePages() {
    using namespace main_window;
    const PixelScale scale = ScreenScale();
    const auto centred = [&](int widthTwips, int heightTwips) {
        return POINT{scale.X((kPageAreaWidth - widthTwips) / 2), scale.Y((kPageAreaHeight - heightTwips) / 2)};
    };
    const POINT small = centred(8415, 4935);
    usrWebTools1.Create(Item(kIdFrameContent0 + 3), small.x, small.y);
    usrScanCleanPage1.Create(Item(kIdFrameContent0 + 1), 0, 0);
    usrMainPage1.Create(Item(kIdFrameContent0 + 0), small.x, small.y);
    UserSettingPage1.Create(Item(kIdFrameContent0 + 4), small.x, small.y);
}

void frmMain::InitTopButtons() {
    for (int i = 0; i < kPageCount; ++i) m_imgTopBtn[i].reset();  // the inactive store is empty
    ShowPage(0);
    // The frames already share one rectangle and have no border; the buttons have none either.
    for (int i = 0; i < kPageCount; ++i) ::InvalidateRect(Item(kIdPicTopBtn0 + i), nullptr, TRUE);
}

// Showing a page marks its button, whoever shows it (a click, a scan from the command line or
// handed over by a later start), so a page switch never leaves another page's button marked.
// Between switches the highlight follows the pointer, as it always has.
void frmMain::ShowPage(int index) {
    for (int i = 0; i < kPageCount; ++i) {
        ShowItem(kIdFrameContent0 + i, i == index);
        SetTopButtonLook(i, i == index);
    }
}

void frmMain::picTopBtn_Click(int index) { ShowPage(index); }

void frmMain::picTopBtn_MouseDown(int index) {
    m_topBtnBack[index] = COLOR_WINDOW;
    HWND button = Item(kIdPicTopBtn0 + index);
    ::SetWindowLongPtrW(button, GWLP_USERDATA, COLOR_WINDOW);
    ::InvalidateRect(button, nullptr, TRUE);
}

// The last hovered button keeps the highlight when the pointer leaves the row.
void frmMain::picTopBtn_MouseMove(int index) {
    if (index == m_hoverIndex) return;
    m_hoverIndex = static_cast<short>(index);
    for (int i = 0; i < kPageCount; ++i) SetTopButtonLook(i, i == index);
}

void frmMain::SetTopButtonLook(int index, bool active) {
    m_topBtnBack[index] = active ? COLOR_ACTIVEBORDER : COLOR_WINDOW;
    if (active)
        m_imgTopBtn[index] = pictures::TopButtonPicture(index);
    else
        m_imgTopBtn[index].reset();
    HWND button = Item(kIdPicTopBtn0 + index);
    ::SetWindowLongPtrW(button, GWLP_USERDATA, m_topBtnBack[index]);
    ::SendMessageW(::GetDlgItem(button, kIdLblTopBtn0 + index), WM_SETFONT,
                   reinterpret_cast<WPARAM>(active ? m_boldFont.get() : m_font.get()), FALSE);
    ::InvalidateRect(button, nullptr, TRUE);
    ::UpdateWindow(button);
}

void frmMain::ShowLoadEngineError(const std::wstring& caption, bool bigFont) {
    HWND label = Item(kIdLblLoadEngineError);
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(bigFont ? m_bigErrorFont.get() : m_errorFont.get()),
                   FALSE);
    ::SetWindowTextW(label, caption.c_str());
    ::SetWindowPos(label, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void frmMain::ShowItem(int id, bool visible) {
    if (HWND item = Item(id)) ::ShowWindow(item, visible ? SW_SHOW : SW_HIDE);
}

HWND frmMain::Item(int id) const noexcept {
    if (!m_hwnd) return nullptr;
    // A button's caption and picture are children of the button, not of the window.
    const bool caption = id >= kIdLblTopBtn0 && id < kIdLblTopBtn0 + kPageCount;
    const bool picture = id >= kIdImgTopBtn0 && id < kIdImgTopBtn0 + kPageCount;
    if (caption || picture) {
        const int index = id - (caption ? kIdLblTopBtn0 : kIdImgTopBtn0);
        return ::GetDlgItem(::GetDlgItem(m_hwnd, kIdPicTopBtn0 + index), id);
    }
    return ::GetDlgItem(m_hwnd, id);
}

bool frmMain::DrawTopButtonPicture(const DRAWITEMSTRUCT& item) {
    const int index = static_cast<int>(item.CtlID) - kIdImgTopBtn0;
    if (index < 0 || index >= kPageCount) return false;
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(m_topBtnBack[index]));
    if (m_imgTopBtn[index]) pictures::Draw(item.hDC, item.rcItem, *m_imgTopBtn[index]);
    return true;
}

LRESULT frmMain::StaticColours(HDC dc, HWND control) {
    const int id = ::GetDlgCtrlID(control);
    if (id >= kIdLblTopBtn0 && id < kIdLblTopBtn0 + kPageCount) {
        const int colour = m_topBtnBack[id - kIdLblTopBtn0];
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(colour));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(colour));
    }
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    if (id == kIdLblLoadEngineError) ::SetTextColor(dc, main_window::kErrorColour);
    if (id == kIdLblContactUs) ::SetTextColor(dc, main_window::kContactColour);
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT frmMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        ::SetTimer(m_hwnd, kTimerCheckUpgrading, 10000, nullptr);
        ::SetTimer(m_hwnd, kTimerShowContact, 15000, nullptr);
        ::SetTimer(m_hwnd, kTimerShellUpdate, 30000, nullptr);
        ::SetTimer(m_hwnd, kTimerStartGuard, 60000, nullptr);
        if (HICON big = pictures::AppIcon(::GetSystemMetrics(SM_CXICON)))
            ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        if (HICON small = pictures::AppIcon(::GetSystemMetrics(SM_CXSMICON)))
            ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        return 0;
    case WM_TIMER:
        switch (wParam) {
        case kTimerCheckUpgrading: timerCheckUpgrading_Timer(); break;
        case kTimerShowContact: timeShowContact_Timer(); break;
        case kTimerShellUpdate: timeshellUpdate_Timer(); break;
        case kTimerStartGuard: timeStartGuard_Timer(); break;
        case kTimerExitWait: ExitWait_Timer(); break;
        case kTimerHandOver: timerHandOver_Timer(); break;
        default: break;
        }
        return 0;
    case kMsgTopBtnMove: picTopBtn_MouseMove(static_cast<int>(wParam)); return 0;
    case kMsgTopBtnDown: picTopBtn_MouseDown(static_cast<int>(wParam)); return 0;
    case kMsgTopBtnClick: picTopBtn_Click(static_cast<int>(wParam)); return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdLblContactUs && HIWORD(wParam) == STN_CLICKED) lblContactUs_Click();
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Item(kIdLblContactUs)) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    case WM_DRAWITEM:
        if (DrawTopButtonPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
        break;
    case WM_CTLCOLORSTATIC: return StaticColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE: RequestUnload(); return 0;
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    default: break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

}  // namespace tessaly
