// The quarantine manager dialog's behaviour: loading the store, filling the list and labels,
// and the handlers of "全选", "删除" and "恢复".
#include "frmQuarantines.h"

#include "FaultLog.h"
#include "ProgramFiles.h"
#include "ProgramTitle.h"
#include "modCommon.h"

#include <algorithm>
#include <cwchar>

namespace tessaly {
namespace {

constexpr wchar_t kRestoredText[] = L"相关文件恢复成功";
constexpr wchar_t kRestoreFailedText[] = L"请确认目标目录存在且文件没被占用\r\n恢复备份失败,路径:";

QuarantineMessageBoxHook& MessageBoxHook() {
    static QuarantineMessageBoxHook hook;
    return hook;
}

std::wstring LocaleText(LCTYPE type, const wchar_t* fallback) {
    wchar_t buffer[16]{};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16) > 0) return buffer;
    return fallback;
}

std::wstring ListItemText(HWND list, int index) {
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}
}  // namespace

void frmQuarantines::SetMessageBoxHook(QuarantineMessageBoxHook hook) { MessageBoxHook() = std::move(hook); }

std::wstring frmQuarantines::ApplicationTitle() {
    wchar_t path[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = std::wcsrchr(path, L'\\');
    name = name ? name + 1 : path;
    if (_wcsicmp(name, kGuardProgramFile) == 0) return kGuardTitle;
    return kDrosselTitle;
}

std::wstring frmQuarantines::FormatSizeText(float megabytes) {
    wchar_t value[64]{};
    std::swprintf(value, 64, L"%.6f", static_cast<double>(megabytes));
    const std::wstring decimal = LocaleText(LOCALE_SDECIMAL, L".");
    const std::wstring thousand = LocaleText(LOCALE_STHOUSAND, L",");
    const std::wstring grouping = LocaleText(LOCALE_SGROUPING, L"3;0");
    NUMBERFMTW format{};
    format.NumDigits = 2;
    format.LeadingZero = 1;
    format.Grouping = static_cast<UINT>(std::max(0, _wtoi(grouping.c_str())));
    format.lpDecimalSep = const_cast<wchar_t*>(decimal.c_str());
    format.lpThousandSep = const_cast<wchar_t*>(thousand.c_str());
    format.NegativeOrder = 1;
    wchar_t out[64]{};
    if (::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, value, &format, out, 64) <= 0) {
        std::swprintf(out, 64, L"%.2f", static_cast<double>(megabytes));
    }
    return std::wstring(out) + L"MB";
}

void frmQuarantines::Form_Load() {
    if (m_owner) {
        HICON icon = reinterpret_cast<HICON>(::SendMessageW(m_owner, WM_GETICON, ICON_BIG, 0));
        if (!icon) icon = reinterpret_cast<HICON>(::GetClassLongPtrW(m_owner, GCLP_HICON));
        HICON small = reinterpret_cast<HICON>(::SendMessageW(m_owner, WM_GETICON, ICON_SMALL, 0));
        if (!small) small = reinterpret_cast<HICON>(::GetClassLongPtrW(m_owner, GCLP_HICONSM));
        if (icon) ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        if (small || icon) ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : icon));
    }
    InitCommonControlClasses();
    try {
        m_store = std::make_unique<ClsQuarantine>();
    } catch (...) {
        // No folder for the store: the dialog stays empty and its buttons find nothing to do.
        LogCaughtFault(L"frmQuarantines::Form_Load");
        m_store.reset();
    }
    RefreshList();
}

void frmQuarantines::Form_Unload() noexcept { m_store.reset(); }

void frmQuarantines::RefreshList() {
    HWND list = Item(kIdListQuarantinesViewer);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const float size = m_store ? m_store->QuarantineSize() : 0.0f;
    const std::int32_t count = m_store ? m_store->QuarantineFileCount() : 0;
    ::SetWindowTextW(Item(kIdLblSize), FormatSizeText(size).c_str());
    SizeLabelToText(kIdLblSize);
    ::SetWindowTextW(Item(kIdLblFileCount), std::to_wstring(count).c_str());
    SizeLabelToText(kIdLblFileCount);
    if (count == 0 || !m_store) return;
    std::vector<std::wstring> records;
    if (!m_store->GetRecords(records)) return;
    // Long paths scroll sideways rather than being cut off.
    int widest = 0;
    WindowDc dc(list);
    SelectedObject font(dc.get(), m_font ? static_cast<HGDIOBJ>(m_font.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
    for (std::size_t i = 0; i < records.size() && i < static_cast<std::size_t>(count); ++i) {
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(records[i].c_str()));
        SIZE extent{};
        ::GetTextExtentPoint32W(dc.get(), records[i].c_str(), static_cast<int>(records[i].size()), &extent);
        widest = std::max<int>(widest, extent.cx);
    }
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
}

int frmQuarantines::GetSelectedPaths(std::vector<std::wstring>& paths) const {
    HWND list = Item(kIdListQuarantinesViewer);
    const LRESULT selected = ::SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (selected == LB_ERR || selected <= 0) return 0;
    std::vector<int> items(static_cast<std::size_t>(selected));
    const LRESULT got = ::SendMessageW(list, LB_GETSELITEMS, items.size(), reinterpret_cast<LPARAM>(items.data()));
    if (got == LB_ERR) return 0;
    items.resize(static_cast<std::size_t>(got));
    std::sort(items.begin(), items.end());
    int found = 0;
    for (int index : items) {
        const std::wstring text = ListItemText(list, index);
        // The date never holds "::"; everything after its separator is the path, even a path
        // that itself contains "::".
        const std::size_t at = text.find(L"::", 1);
        if (at == std::wstring::npos) continue;
        paths.push_back(text.substr(at + 2));
        ++found;
    }
    return found;
}

void frmQuarantines::chkSelectAll_Click() {
    const bool select = ::SendMessageW(Item(kIdChkSelectAll), BM_GETCHECK, 0, 0) != BST_UNCHECKED;
    HWND list = Item(kIdListQuarantinesViewer);
    if (::SendMessageW(list, LB_GETCOUNT, 0, 0) > 0) ::SendMessageW(list, LB_SETSEL, select ? TRUE : FALSE, -1);
}

void frmQuarantines::cmdDeletes_Click() {
    std::vector<std::wstring> paths;
    if (GetSelectedPaths(paths) == 0 || !m_store) return;
    m_store->DeleteQuarantineFiles(paths);
    RefreshList();
}

void frmQuarantines::cmdRestore_Click() {
    std::vector<std::wstring> paths;
    if (GetSelectedPaths(paths) == 0 || !m_store) return;
    std::wstring failed;
    if (m_store->RestoreQuarantineFiles(paths, failed))
        ShowMessage(kRestoredText, MB_OK);
    else
        ShowMessage(kRestoreFailedText + failed, MB_OK | MB_ICONEXCLAMATION);
    if (m_hwnd) RefreshList();
}

int frmQuarantines::ShowMessage(const std::wstring& text, UINT type) const {
    const std::wstring title = ApplicationTitle();
    if (const QuarantineMessageBoxHook& hook = MessageBoxHook()) return hook(m_hwnd, text, title, type);
    return ::MessageBoxW(m_hwnd, text.c_str(), title.c_str(), type);
}

}  // namespace tessaly
