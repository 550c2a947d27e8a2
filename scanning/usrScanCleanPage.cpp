// Window plumbing of the scan page: its window classes, the creation of the controls from the
// layout table, message routing and the view the work writes into.
#include "usrScanCleanPage.h"

#include <commctrl.h>

#include <exception>
#include <string_view>

#include "ClsPipeShareMem.h"
#include "ClsQuarantine.h"
#include "FaultLog.h"
#include "FormLayout.h"
#include "IniOperation.h"
#include "Pictures.h"
#include "PixelScale.h"
#include "ScanPageLog.h"
#include "ScanPageWorkState.h"
#include "WindowClass.h"
#include "frmQuarantines.h"
#include "modCommon.h"
#include "usrScanCleanPageLayout.h"

namespace tessaly {

namespace {

using namespace scan_page;

inline constexpr COLORREF kPageBackColor = RGB(255, 255, 255);
inline constexpr COLORREF kPageTextColor = RGB(102, 102, 102);
inline constexpr COLORREF kErrorTextColor = RGB(204, 0, 0);
inline constexpr WORD kNotifyHover = 0x7001;

// Frames and scan buttons pass their children's commands up, so the page sees every control.
LRESULT ForwardToParent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND parent = ::GetParent(hwnd);
    return parent ? ::SendMessageW(parent, msg, wParam, lParam) : 0;
}

void FillBack(HWND hwnd, HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd, &client);
    unique_hbrush brush(::CreateSolidBrush(kPageBackColor));
    ::FillRect(dc, &client, brush.get());
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        switch (msg) {
            case WM_COMMAND:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN:
                return ForwardToParent(hwnd, msg, wParam, lParam);
            case WM_ERASEBKGND:
                FillBack(hwnd, reinterpret_cast<HDC>(wParam));
                return 1;
            default:
                break;
        }
    } catch (...) {
        LogCaughtFault(L"FrameProc");
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void NotifyParent(HWND hwnd, int id, WORD code) {
    ::SendMessageW(::GetParent(hwnd), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(hwnd));
}

LRESULT CALLBACK ScanButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        const int id = ::GetDlgCtrlID(hwnd);
        switch (msg) {
            case WM_COMMAND:
            case WM_CTLCOLORSTATIC:
                return ForwardToParent(hwnd, msg, wParam, lParam);
            case WM_LBUTTONUP:
                NotifyParent(hwnd, id, BN_CLICKED);
                return 0;
            case WM_MOUSEMOVE:
                NotifyParent(hwnd, id, kNotifyHover);
                return 0;
            case WM_SETCURSOR:
                ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            case WM_ERASEBKGND:
                FillBack(hwnd, reinterpret_cast<HDC>(wParam));
                return 1;
            default:
                break;
        }
    } catch (...) {
        LogCaughtFault(L"ScanButtonProc");
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        const int id = ::GetDlgCtrlID(hwnd);
        const int index = id - usrScanCleanPage::kIdImgBtnScanDirFiles0;
        switch (msg) {
            case WM_PAINT: {
                PaintDc dc(hwnd);
                RECT client{};
                ::GetClientRect(hwnd, &client);
                ::FillRect(dc.get(), &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
                pictures::Draw(dc.get(), client, pictures::ScanButtonPicture(index));
                return 0;
            }
            case WM_LBUTTONUP:
                NotifyParent(hwnd, id, BN_CLICKED);
                return 0;
            case WM_MOUSEMOVE:
                NotifyParent(hwnd, usrScanCleanPage::kIdPicBtnScanDirFiles0 + index, kNotifyHover);
                return 0;
            case WM_SETCURSOR:
                ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            default:
                break;
        }
    } catch (...) {
        LogCaughtFault(L"PictureProc");
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool RegisterOne(const wchar_t* name, WNDPROC proc) {
    return RegisterWindowClass(name, proc, {CS_HREDRAW | CS_VREDRAW});
}

}  // namespace

usrScanCleanPage::usrScanCleanPage() : m_work(*this) {}

usrScanCleanPage::~usrScanCleanPage() { Unload(); }

bool usrScanCleanPage::RegisterWindowClasses() noexcept {
    try {
        InitCommonControlClasses();
        return usrCtlListBox::RegisterWindowClasses() &&
               RegisterOne(kClassName, &WindowThunk<usrScanCleanPage>::Proc) && RegisterOne(kFrameClass, &FrameProc) &&
               RegisterOne(kScanButtonClass, &ScanButtonProc) && RegisterOne(kPictureClass, &PictureProc);
    } catch (...) {
        LogCaughtFault(L"usrScanCleanPage::RegisterWindowClasses");
        return false;
    }
}

usrScanCleanPage* usrScanCleanPage::FromWindow(HWND window) noexcept {
    wchar_t name[64]{};
    if (!window || !::GetClassNameW(window, name, 64) || std::wstring(name) != kClassName) return nullptr;
    return reinterpret_cast<usrScanCleanPage*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool usrScanCleanPage::Create(HWND parent, int x, int y, int id) noexcept {
    if (m_hwnd || !RegisterWindowClasses()) return false;
    return CreatePage(kClassName, parent, {x, y}, {kPageWidthTwips, kPageHeightTwips}, id);
}

LRESULT usrScanCleanPage::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            UserControl_Initialize();
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            ::SetTextColor(dc, id == kIdLblEngineloadFailedErr0 ? kErrorTextColor : kPageTextColor);
            ::SetBkColor(dc, kPageBackColor);
            return reinterpret_cast<LRESULT>(m_backBrush.get());
        }
        case WM_ERASEBKGND:
            FillBack(m_hwnd, reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_DESTROY:
            UserControl_Terminate();
            m_work.BreakScanClean = true;  // a walk still on the stack stops at its next entry
            m_controls.clear();            // the controls go with the page
            return 0;
        default:
            return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
    }
}

void usrScanCleanPage::OnCommand(int id, int code) {
    if (id >= kIdPicBtnScanDirFiles0 && id < kIdPicBtnScanDirFiles0 + 3) {
        if (code == kNotifyHover)
            picBtnScanDirFiles_MouseMove(id - kIdPicBtnScanDirFiles0);
        else
            picBtnScanDirFiles_Click(id - kIdPicBtnScanDirFiles0);
        return;
    }
    // Labels with SS_NOTIFY also report being enabled and disabled; only a click acts.
    if (code != BN_CLICKED) return;
    if (id >= kIdImgBtnScanDirFiles0 && id < kIdImgBtnScanDirFiles0 + 3) return picBtnScanDirFiles_Click(id - kIdImgBtnScanDirFiles0);
    if (id >= kIdLblBtnScanDirFiles0 && id < kIdLblBtnScanDirFiles0 + 3) return picBtnScanDirFiles_Click(id - kIdLblBtnScanDirFiles0);
    if (id >= kIdLblResultCountShow0 && id < kIdLblResultCountShow0 + 7) return lblResultCountShow_Click(id - kIdLblResultCountShow0);
    if (id >= kIdLblScanResultCountShowTitle0 && id < kIdLblScanResultCountShowTitle0 + 7)
        return lblResultCountShow_Click(id - kIdLblScanResultCountShowTitle0);
    switch (id) {
        case kIdCmdJustClean: return cmdJustClean_Click();
        case kIdCmdBackToScanPage: return cmdBackToScanPage_Click();
        case kIdCmdScanCleanBreak: return cmdScanCleanBreak_Click();
        case kIdCmdShowQuarantines: return cmdShowQuarantines_Click();
        default: return;
    }
}

HWND usrScanCleanPage::CreateControl(int parentId, const ControlLayout& layout, HFONT font) {
    // Containers let the dialog keys reach the buttons inside them.
    const std::wstring_view windowClass(layout.windowClass);
    const bool container = windowClass == kFrameClass || windowClass == kScanButtonClass;
    HWND control = CreateLayoutControl(parentId == 0 ? m_hwnd : Control(parentId), layout, ScreenScale(), font,
                                       container ? WS_EX_CONTROLPARENT : 0);
    if (control) m_controls[layout.id] = control;
    return control;
}

void usrScanCleanPage::CreateControls() {
    m_font = CreateUiFont({nullptr, 0, 100, FW_NORMAL});
    m_captionFont = CreateUiFont({nullptr, 0, 100, FW_BOLD, DEFAULT_CHARSET, false, 4});
    m_backBrush.reset(::CreateSolidBrush(kPageBackColor));
    for (const PageControlLayout& row : kControls) {
        const ControlLayout& c = row.control;
        if (c.id == kIdListScanCleanResult) {
            const PixelScale scale = ScreenScale();
            if (m_list.Create(Control(row.parentId), scale.X(c.left), scale.Y(c.top), scale.X(c.width),
                              scale.Y(c.height), c.id))
                m_controls[c.id] = m_list.Window();
            continue;
        }
        CreateControl(row.parentId, c, m_font.get());
        if (c.id == kIdFrameScanPage) CreateScanButtons();
        if (c.id == kIdPicResultBar) CreateCounters();
    }
    CreateTooltip();
}

void usrScanCleanPage::CreateScanButtons() {
    for (int i = 0; i < 3; ++i) {
        const int button = kIdPicBtnScanDirFiles0 + i;
        if (!CreateControl(kIdFrameScanPage,
                           {button, kScanButtonClass, L"", kShown | WS_CLIPCHILDREN, kButtonLeft[i], kButtonTop,
                            kButtonWidth, kButtonHeight},
                           nullptr))
            continue;
        CreateControl(button, {kIdImgBtnScanDirFiles0 + i, kPictureClass, L"", kShown, (kButtonWidth - 960) / 2, 360,
                               960, 960},
                      nullptr);
        CreateControl(button, {kIdLblBtnScanDirFiles0 + i, L"STATIC", kScanButtonCaptions[i], kClickLabel | SS_CENTER,
                               0, 1500, kButtonWidth, 420},
                      m_captionFont.get());
        CreateControl(button, {kIdLblBtnScanDirFiles0 + 100 + i, L"STATIC", kScanButtonHints[i], kLabel | SS_CENTER,
                               60, 2010, kButtonWidth - 120, 480},
                      m_font.get());
    }
}

void usrScanCleanPage::CreateCounters() {
    for (int i = 0; i < 7; ++i) {
        const int left = kCounterLeft + i * kCounterStep;
        CreateControl(kIdPicResultBar, {kIdLblScanResultCountShowTitle0 + i, L"STATIC", kCounterTitles[i],
                                        kClickLabel | SS_CENTER, left, 60, kCounterWidth, 240},
                      m_font.get());
        CreateControl(kIdPicResultBar, {kIdLblResultCountShow0 + i, L"STATIC", L"0", kClickLabel | SS_CENTER, left,
                                        330, kCounterWidth, 240},
                      m_captionFont.get());
    }
}

void usrScanCleanPage::CreateTooltip() {
    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!m_tooltip) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(Control(kIdLblScanPath));
    tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdLblScanPath));
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void usrScanCleanPage::UserControl_Initialize() {
    m_work.ConfigPath = GetConfigFilePath();
    m_work.AppVersion = GetAppVersion();
    m_work.LogPath = ScanLogPath();
    m_work.SilentScanClean = false;
    CreateControls();
    Show(kIdFrameScanPage, true);
    Show(kIdFrameScanning, false);
    m_HoverIndex = -1;
    m_work.SetWorkStepState(kWorkIdle);
    SetText(kIdLblEngineloadFailedErr0, std::wstring(kEngineLoadFailedText) + kSupportContact);
    SetText(kIdLblContactUs, std::wstring(L"本次扫描未发现病毒。\r\n如有疑问或需要帮助，请联系作者QQ:") +
                                 kSupportContact);
    m_list.BackColor(kPageBackColor);
    m_list.ForeColor(RGB(102, 102, 102));
    m_list.SelColor(RGB(217, 217, 217));
    Show(kIdCmdShowQuarantines, false);
    Show(kIdFrameContactUs, false);
}

void usrScanCleanPage::UserControl_Terminate() noexcept {
    try {
        if (!m_work.FeedbackSent && m_work.ScanUsedTime >= 1) m_work.SendScanFeedback();
    } catch (...) {
        LogCaughtFault(L"usrScanCleanPage::UserControl_Terminate");
    }
}

HWND usrScanCleanPage::Control(int id) const noexcept {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

void usrScanCleanPage::SetText(int id, const std::wstring& text) noexcept {
    if (HWND control = Control(id)) ::SetWindowTextW(control, text.c_str());
}

void usrScanCleanPage::Show(int id, bool visible) noexcept {
    if (HWND control = Control(id)) ::ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

void usrScanCleanPage::Enable(int id, bool enabled) noexcept {
    if (HWND control = Control(id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

bool usrScanCleanPage::IsShown(int id) const noexcept {
    HWND control = Control(id);
    return control && (::GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND usrScanCleanPage::ParentForm() const noexcept { return m_hwnd ? ::GetAncestor(m_hwnd, GA_ROOT) : nullptr; }

int usrScanCleanPage::AskUser(const std::wstring& text, UINT type) const {
    const std::wstring title = frmQuarantines::ApplicationTitle();
    if (m_messageBoxHook) return m_messageBoxHook(ParentForm(), text, title, type);
    return ::MessageBoxW(ParentForm(), text.c_str(), title.c_str(), type);
}

void usrScanCleanPage::SetPipeMemObject(ClsPipeShareMem* newPipeMemObj) noexcept {
    try {
        m_pipeLink = newPipeMemObj ? std::make_unique<PipeShareMemLink>(*newPipeMemObj) : nullptr;
        m_work.SetEngineLink(m_pipeLink.get());
    } catch (...) {
        LogCaughtFault(L"usrScanCleanPage::SetPipeMemObject");
        m_work.SetEngineLink(nullptr);
    }
}

void usrScanCleanPage::SetEngineLink(ScanEngineLink* link) noexcept {
    m_pipeLink.reset();
    m_work.SetEngineLink(link);
}

void usrScanCleanPage::reinitLog() noexcept { ReinitScanLog(m_work.LogPath); }

void usrScanCleanPage::setResultBarState(bool Enabled) noexcept {
    Enable(kIdPicResultBar, Enabled);
    for (int i = 0; i < 7; ++i) {
        Enable(kIdLblScanResultCountShowTitle0 + i, Enabled);
        Enable(kIdLblResultCountShow0 + i, Enabled);
    }
    // The tip sits where the titles of the cleaning counters begin.
    if (HWND tip = Control(kIdLblResultBarRunningTip)) {
        RECT title{};
        if (HWND title2 = Control(kIdLblScanResultCountShowTitle0 + 2)) {
            ::GetWindowRect(title2, &title);
            ::MapWindowPoints(nullptr, ::GetParent(tip), reinterpret_cast<POINT*>(&title), 2);
            RECT own{};
            ::GetWindowRect(tip, &own);
            ::MapWindowPoints(nullptr, ::GetParent(tip), reinterpret_cast<POINT*>(&own), 2);
            ::SetWindowPos(tip, nullptr, title.left, own.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        Show(kIdLblResultBarRunningTip, !Enabled);
    }
}

long usrScanCleanPage::AddRow(const std::wstring& text, const std::wstring& tag, long color) {
    return m_list.AddItem(text, tag, color);
}

void usrScanCleanPage::UpdateRow(long index, const std::wstring& mainText, const std::wstring& tag, long color) {
    m_list.UpdateItem(index, mainText, tag, color);
}

void usrScanCleanPage::ShowCounter(int index, std::int32_t value) {
    SetText(kIdLblResultCountShow0 + index, std::to_wstring(value));
    if (HWND label = Control(kIdLblResultCountShow0 + index)) ::UpdateWindow(label);
}

void usrScanCleanPage::WriteLogLine(const std::wstring& line) { WriteScanLog(m_work.LogPath, line); }

void usrScanCleanPage::ShowScanPath(const std::wstring& text, const std::wstring& tooltip) {
    SetText(kIdLblScanPath, text);
    if (m_tooltip) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = ::GetParent(Control(kIdLblScanPath));
        tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdLblScanPath));
        tool.lpszText = const_cast<wchar_t*>(tooltip.c_str());
        ::SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void usrScanCleanPage::ShowRate(const std::wstring& text) {
    SetText(kIdLblRate, text);
    if (HWND label = Control(kIdLblRate)) ::UpdateWindow(label);
}

void usrScanCleanPage::UnloadParentForm() {
    if (HWND form = ParentForm()) ::PostMessageW(form, WM_CLOSE, 0, 0);
}

}  // namespace tessaly
