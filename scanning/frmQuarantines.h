// The quarantine manager dialog "隔离区": lists the backups of the quarantine store, restores the
// selected documents and deletes the selected backups. The form owns its window and, while it is
// loaded, one store object; it is modal to its owner when opened through ShowModal.
#pragma once

#include "ClsQuarantine.h"
#include "FormWindow.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessaly {

// Every message box of the dialog goes through this, so a test can answer it.
using QuarantineMessageBoxHook =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& title, UINT type)>;

class frmQuarantines : public Form<frmQuarantines> {
public:
    // Control identifiers, for GetDlgItem.
    enum ControlId : int {
        kIdLblTip0 = 1001,
        kIdLblTip1,
        kIdLblTip2,
        kIdLblFileCount,
        kIdLblSize,
        kIdListQuarantinesViewer,
        kIdChkSelectAll,
        kIdCmdDeletes,
        kIdCmdRestore,
    };

    frmQuarantines() = default;
    ~frmQuarantines();

    // Loads the form and keeps it modal to owner until it is closed. The program has one such
    // dialog: while one is open a second call only brings it to the front.
    static void ShowModal(HWND owner) noexcept;
    // The dialog ShowModal currently runs, or nullptr.
    static frmQuarantines* OpenInstance() noexcept;

    // Loads the form modeless (shown unless visible is false); false when its window cannot be made.
    bool Load(HWND owner, bool visible = true) noexcept;
    // Unload (of the form base) closes the form as the close box does.

    static void SetMessageBoxHook(QuarantineMessageBoxHook hook);
    // Title of the message boxes: the running program's own title.
    static std::wstring ApplicationTitle();
    // "1.25MB": two decimals, leading zero, the user's digit grouping.
    static std::wstring FormatSizeText(float megabytes);

private:
    friend struct WindowThunk<frmQuarantines>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Form_Load();
    void Form_Unload() noexcept;
    void RefreshList();
    int GetSelectedPaths(std::vector<std::wstring>& paths) const;
    void chkSelectAll_Click();
    void cmdDeletes_Click();
    void cmdRestore_Click();
    void SizeLabelToText(int id);
    int ShowMessage(const std::wstring& text, UINT type) const;
    HWND Item(int id) const noexcept { return ::GetDlgItem(m_hwnd, id); }

    HWND m_owner = nullptr;
    std::unique_ptr<ClsQuarantine> m_store;
    unique_hfont m_font;
};

}  // namespace tessaly
