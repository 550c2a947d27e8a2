// The scan and clean page: a child window with the choice frame (three scan buttons) and the
// result frame (progress, counters, result list, clean/back/cancel/quarantine buttons). The C++
// object owns its window and its work state; the engine link is lent by the owner.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "FormWindow.h"
#include "ScanPageEngine.h"
#include "ScanPageWork.h"
#include "UniqueHandle.h"
#include "usrCtlListBox.h"

namespace tessaly {

class ClsPipeShareMem;
class ClsQuarantine;
struct ControlLayout;

class usrScanCleanPage final : public Form<usrScanCleanPage>, private ScanPageView {
public:
    static constexpr wchar_t kClassName[] = L"usrScanCleanPage";

    // Control identifiers, for GetDlgItem on the control's own container (see Control()).
    enum ControlId : int {
        kIdFrameScanPage = 2001,
        kIdFrameScanning,
        kIdPicBtnScanDirFiles0,  // + index 0..2
        kIdImgBtnScanDirFiles0 = kIdPicBtnScanDirFiles0 + 3,
        kIdLblBtnScanDirFiles0 = kIdImgBtnScanDirFiles0 + 3,
        kIdLblScanPath = kIdLblBtnScanDirFiles0 + 3,
        kIdLblRate,
        kIdPicResultBar,
        kIdLblResultCountShow0,  // + index 0..6
        kIdLblScanResultCountShowTitle0 = kIdLblResultCountShow0 + 7,
        kIdLblResultBarRunningTip = kIdLblScanResultCountShowTitle0 + 7,
        kIdListScanCleanResult,
        kIdCmdScanCleanBreak,
        kIdCmdJustClean,
        kIdCmdBackToScanPage,
        kIdCmdShowQuarantines,
        kIdLblEngineloadFailedErr0,
        kIdFrameContactUs,
        kIdLblContactUs,
    };

    // Hooks through which tests and the guard answer what would otherwise wait for a person.
    using MessageBoxHook = std::function<int(HWND owner, const std::wstring& text, const std::wstring& title, UINT type)>;
    using BrowseHook = std::function<std::wstring(HWND owner, const std::wstring& prompt)>;
    using DetailsDialogHook =
        std::function<void(HWND owner, const std::wstring& caption, const std::wstring& title, const std::wstring& text)>;
    using QuarantineDialogHook = std::function<void(HWND owner)>;

    usrScanCleanPage();
    ~usrScanCleanPage() override;

    static bool RegisterWindowClasses() noexcept;
    static usrScanCleanPage* FromWindow(HWND window) noexcept;
    // Creates the page at (x, y) pixels in parent; the page takes the size of frameScanning.
    bool Create(HWND parent, int x, int y, int id = 0) noexcept;
    [[nodiscard]] HWND Window() const noexcept { return m_hwnd; }

    // Public members, in their slot order.
    void ScanSoureID(std::int32_t sourceID) noexcept { m_work.ScanSoureID = sourceID; }
    [[nodiscard]] std::int32_t ScanSoureID() const noexcept { return m_work.ScanSoureID; }
    void BreakScanClean(bool value) noexcept { m_work.BreakScanClean = value; }
    void SilentScanClean(bool value) noexcept { m_work.SilentScanClean = value; }
    [[nodiscard]] std::int32_t WorkStepState() const noexcept { return m_work.WorkStepState(); }
    // True while a walk or a clean loop is running: work state 1 also covers finished results that
    // wait for the user, and nothing then stops by itself when asked to.
    [[nodiscard]] bool IsWorkLoopRunning() const noexcept { return m_workLoops > 0; }
    // True from the end of a clean until the user leaves its results or a new scan begins: the
    // rows say which documents were cleaned and which failed, and nothing may wipe them unseen.
    [[nodiscard]] bool IsShowingCleanOutcome() const noexcept { return m_cleanOutcomeShown; }
    void SetPipeMemObject(ClsPipeShareMem* newPipeMemObj) noexcept;
    void reinitLog() noexcept;
    void setResultBarState(bool Enabled) noexcept;
    void ScanDirOrFiles(const std::wstring& sPath, bool CheckFileExt) noexcept;

    // What ScanDirOrFiles makes of a path: a drive root or folder to walk, one file, or nothing
    // (missing, or a hidden or system file, which the walk leaves alone too).
    enum class ScanTarget { None, File, Folder };
    static ScanTarget ScanTargetOf(const std::wstring& sPath) noexcept;

    // The guard's silent mode: "返回" as a click would do it, and the background quick scan, which
    // returns the number of infected-file records and fills VIRUSRESULTINFO (path, virus name).
    void ClickBackToScanPageButton() noexcept;
    std::int32_t BackEndScan(std::array<std::wstring, 2>& VIRUSRESULTINFO) noexcept;

    // Beyond the page's members: an engine link of another kind (the guard's, a test's).
    void SetEngineLink(ScanEngineLink* link) noexcept;
    RequestEngineOptions& RequestOptions() noexcept { return m_work.RequestOptions(); }
    void SetMessageBoxHook(MessageBoxHook hook) { m_messageBoxHook = std::move(hook); }
    void SetBrowseHook(BrowseHook hook) { m_browseHook = std::move(hook); }
    void SetDetailsDialogHook(DetailsDialogHook hook) { m_detailsHook = std::move(hook); }
    void SetQuarantineDialogHook(QuarantineDialogHook hook) { m_quarantineHook = std::move(hook); }
    // Replaces the quarantine backup of the clean road (tests of the failure road).
    void SetBackupFunction(BackupFunction backup) { m_backupOverride = std::move(backup); }
    [[nodiscard]] const ScanPageWork& Work() const noexcept { return m_work; }
    // Any control of the page by its identifier, wherever it sits.
    [[nodiscard]] HWND Control(int id) const noexcept;
    [[nodiscard]] usrCtlListBox& ResultList() noexcept { return m_list; }

private:
    // Window plumbing (usrScanCleanPage.cpp).
    friend struct WindowThunk<usrScanCleanPage>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void UserControl_Initialize();
    void UserControl_Terminate() noexcept;
    void CreateControls();
    HWND CreateControl(int parentId, const ControlLayout& layout, HFONT font);
    void CreateScanButtons();
    void CreateCounters();
    void CreateTooltip();
    void SetText(int id, const std::wstring& text) noexcept;
    void Show(int id, bool visible) noexcept;
    void Enable(int id, bool enabled) noexcept;
    [[nodiscard]] bool IsShown(int id) const noexcept;
    [[nodiscard]] HWND ParentForm() const noexcept;
    int AskUser(const std::wstring& text, UINT type) const;

    // ScanPageView.
    long AddRow(const std::wstring& text, const std::wstring& tag, long color) override;
    void UpdateRow(long index, const std::wstring& mainText, const std::wstring& tag, long color) override;
    void ShowCounter(int index, std::int32_t value) override;
    void WriteLogLine(const std::wstring& line) override;
    void ShowScanPath(const std::wstring& text, const std::wstring& tooltip) override;
    void ShowRate(const std::wstring& text) override;
    void UnloadParentForm() override;

    // Scans (usrScanCleanPageScans.cpp).
    void picBtnScanDirFiles_Click(int index);
    void picBtnScanDirFiles_MouseMove(int index);
    void ScanAllFixedDrives();
    void RunQuickScan();
    void ScanChosenFolder();
    std::wstring BrowseForFileOrFolder(HWND owner, const std::wstring& prompt);
    void ScanBegin();
    void ScanFinished();
    void ShowNoVirusTips();

    // Clean road and result view (usrScanCleanPageClean.cpp).
    void cmdJustClean_Click();
    void cmdBackToScanPage_Click();
    void cmdScanCleanBreak_Click() noexcept { m_work.BreakScanClean = true; }
    void cmdShowQuarantines_Click();
    void lblResultCountShow_Click(int index);
    void CleanBegin();
    void CleanFinished();
    bool BackupBeforeClean(const std::wstring& path);

    // Silent mode (usrScanCleanPageSilent.cpp).
    void CleanAtOnceWhenAsked();

    ScanPageWork m_work;
    usrCtlListBox m_list;
    std::unique_ptr<PipeShareMemLink> m_pipeLink;
    std::unique_ptr<ClsQuarantine> m_quarantine;  // lives for one clean run
    short m_HoverIndex = -1;
    bool m_cleanOutcomeShown = false;
    // Scan and clean loops on the stack; they can nest through the window events they let run.
    int m_workLoops = 0;
    struct WorkLoopScope {
        int& depth;
        explicit WorkLoopScope(int& loops) noexcept : depth(loops) { ++depth; }
        ~WorkLoopScope() { --depth; }
        WorkLoopScope(const WorkLoopScope&) = delete;
        WorkLoopScope& operator=(const WorkLoopScope&) = delete;
    };
    std::unordered_map<int, HWND> m_controls;
    unique_hfont m_font;
    unique_hfont m_captionFont;
    unique_hbrush m_backBrush;
    HWND m_tooltip = nullptr;
    MessageBoxHook m_messageBoxHook;
    BrowseHook m_browseHook;
    DetailsDialogHook m_detailsHook;
    QuarantineDialogHook m_quarantineHook;
    BackupFunction m_backupOverride;
};

}  // namespace tessaly
