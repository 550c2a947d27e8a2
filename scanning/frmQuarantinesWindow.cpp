// The quarantine manager dialog's window: class, modal run, message dispatch and the controls
// made from the layout table.
#include "frmQuarantines.h"

#include "FaultLog.h"
#include "FormLayout.h"
#include "PixelScale.h"
#include "frmQuarantinesLayout.h"

#include <algorithm>

namespace tessaly {
namespace {

constexpr wchar_t kWindowClass[] = L"TessalyQuarantinesForm";
constexpr wchar_t kCaption[] = L"隔离区";

frmQuarantines* g_modalForm = nullptr;

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

frmQuarantines::~frmQuarantines() { Unload(); }

frmQuarantines* frmQuarantines::OpenInstance() noexcept { return g_modalForm; }

void frmQuarantines::ShowModal(HWND owner) noexcept {
    try {
        if (g_modalForm) {
            ::SetForegroundWindow(g_modalForm->hwnd());
            return;
        }
        frmQuarantines form;
        if (!form.Load(owner)) return;
        g_modalForm = &form;
        form.RunModal(owner);
        g_modalForm = nullptr;
    } catch (...) {
        LogCaughtFault(L"frmQuarantines::ShowModal");
        g_modalForm = nullptr;
        if (owner) ::EnableWindow(owner, TRUE);
    }
}

bool frmQuarantines::Load(HWND owner, bool visible) noexcept {
    if (m_hwnd) return true;
    try {
        m_owner = owner;
        const PixelScale scale = ScreenScale();
        FormSpec spec;
        spec.className = kWindowClass;
        spec.caption = kCaption;
        spec.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        spec.exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
        spec.client = {scale.X(quarantine_form::kClientWidthTwips), scale.Y(quarantine_form::kClientHeightTwips)};
        if (!CreateTopLevel(spec, owner)) return false;
        if (visible) ShowNow();
        return true;
    } catch (...) {
        LogCaughtFault(L"frmQuarantines::Load");
        return false;
    }
}

LRESULT frmQuarantines::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        Form_Load();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case kIdChkSelectAll: chkSelectAll_Click(); return 0;
            case kIdCmdDeletes: cmdDeletes_Click(); return 0;
            case kIdCmdRestore: cmdRestore_Click(); return 0;
            case IDCANCEL: ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0); return 0;
            default: break;
            }
        }
        break;
    case WM_CLOSE:
        Unload();
        return 0;
    case WM_DESTROY:
        Form_Unload();
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

void frmQuarantines::CreateControls() {
    m_font = CreateUiFont({});
    CreateLayoutControls(m_hwnd, quarantine_form::kControls, ScreenScale(), m_font.get());
    for (const ControlLayout& c : quarantine_form::kControls)
        if (c.width == 0) SizeLabelToText(c.id);
}

void frmQuarantines::SizeLabelToText(int id) {
    HWND label = Item(id);
    if (!label) return;
    const std::wstring text = WindowText(label);
    WindowDc dc(label);
    SIZE size{};
    {
        SelectedObject font(dc.get(), m_font ? static_cast<HGDIOBJ>(m_font.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    }
    RECT rect{};
    ::GetWindowRect(label, &rect);
    ::SetWindowPos(label, nullptr, 0, 0, size.cx + 2, std::max<int>(size.cy, rect.bottom - rect.top),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tessaly
