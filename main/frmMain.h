// The main program's window: the single-instance rule, the installation checks, the engine
// connection lent to the scan page, the "/sf " command line, the top buttons over the five pages,
// the four timers and the exit with its question. The object owns the window, the pages and the
// engine link.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "ClsPipeShareMem.h"
#include "ClsWMI.h"
#include "FormWindow.h"
#include "Pictures.h"
#include "UniqueHandle.h"
#include "UserSettingPage.h"
#include "frmShowMsg.h"
#include "usrMainPage.h"
#include "usrScanCleanPage.h"
#include "usrWebToolsPage.h"

namespace tessaly {

class frmMain : public Form<frmMain> {
public:
    static constexpr int kPageCount = 5;
    static constexpr int kIdFrameContent0 = 3000;  // + index 0..4
    static constexpr int kIdPicTopBtn0 = 3010;
    static constexpr int kIdLblTopBtn0 = 3020;
    static constexpr int kIdImgTopBtn0 = 3030;
    static constexpr int kIdLblLoadEngineError = 3040;
    static constexpr int kIdLblContactUs = 3041;

    static constexpr UINT_PTR kTimerCheckUpgrading = 1;
    static constexpr UINT_PTR kTimerShowContact = 2;
    static constexpr UINT_PTR kTimerShellUpdate = 3;
    static constexpr UINT_PTR kTimerStartGuard = 4;
    static constexpr UINT_PTR kTimerExitWait = 5;
    static constexpr UINT_PTR kTimerHandOver = 6;

    frmMain();
    ~frmMain();

    // Creates the window with its pages (which run their own start-up), then runs Form_Load.
    // False when this process is to end now: a second instance, or no window could be made.
    bool Create() noexcept;
    // Runs the window's messages until it is gone, then Form_Terminate; the process exit code.
    int Run() noexcept;

private:
    friend struct WindowThunk<frmMain>;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // Start-up and exit (frmMain.cpp).
    bool Form_Load();
    void Form_Unload(bool& cancel);
    void Form_Terminate() noexcept;
    void InitFormState();
    void CheckOfficeProcesses();
    bool CheckInstallation();
    void ConnectEngine();
    void HandleCommandLine();
    void HandOverToRunningWindow();
    void ScanCommandLinePath(const std::wstring& path);
    void timerHandOver_Timer();
    void RunPendingScan();
    void ShowLastUpdateNotes();
    void ExitWait_Timer();
    void FinishUnload();
    void RequestUnload();
    int ShowMessage(const std::wstring& text, UINT type, const wchar_t* title = nullptr) const;
    ClsWMI& Wmi();

    // Timers and links (frmMain.cpp).
    void timerCheckUpgrading_Timer();
    void timeShowContact_Timer();
    void timeshellUpdate_Timer();
    void timeStartGuard_Timer();
    void lblContactUs_Click();

    // Window, controls and top buttons (frmMainWindow.cpp).
    bool CreateFormWindow();
    void CreateControls();
    void CreateTopButtons();
    void CreatePages();
    void InitTopButtons();
    void ShowPage(int index);
    void picTopBtn_Click(int index);
    void picTopBtn_MouseDown(int index);
    void picTopBtn_MouseMove(int index);
    void SetTopButtonLook(int index, bool active);
    void ShowLoadEngineError(const std::wstring& caption, bool bigFont);
    void ShowItem(int id, bool visible);
    HWND Item(int id) const noexcept;
    bool DrawTopButtonPicture(const DRAWITEMSTRUCT& item);
    LRESULT StaticColours(HDC dc, HWND control);

    std::wstring m_appFolder;
    std::wstring m_settingsPath;
    std::wstring m_webServerHost;
    std::unique_ptr<ClsPipeShareMem> m_pipe;
    std::unique_ptr<ClsWMI> m_wmi;
    std::unique_ptr<frmShowMsg> m_notesDialog;
    short m_hoverIndex = -1;
    bool m_startupFailed = false;
    bool m_unloading = false;
    bool m_watchInstall = true;
    int m_exitWaitTicks = 0;
    // "/sf " paths of later starts, taken from their request files, waiting for the page to be idle.
    std::deque<std::wstring> m_pendingScans;
    bool m_runningPendingScan = false;

    // Pages, created in this order before Form_Load.
    usrWebToolsPage usrWebTools1;
    usrScanCleanPage usrScanCleanPage1;
    usrMainPage usrMainPage1;
    UserSettingPage UserSettingPage1;

    // What each top button's image shows now; the inactive store holds no pictures.
    std::array<std::optional<pictures::Picture>, kPageCount> m_imgTopBtn{};
    std::array<COLORREF, kPageCount> m_topBtnBack{};
    unique_hfont m_font;
    unique_hfont m_boldFont;
    unique_hfont m_errorFont;
    unique_hfont m_bigErrorFont;
};

}  // namespace tessaly
