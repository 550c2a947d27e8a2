// The scans of the page: full, quick, chosen and command-line, with the begin and end of a scan.
#include "usrScanCleanPage.h"

#include <shlobj.h>

#include <array>

#include "FaultLog.h"
#include "ScanPageWorkState.h"
#include "TextConvert.h"
#include "modCommon.h"
#include "modGetOfficeInfo.h"
#include "usrScanCleanPageLayout.h"

namespace tessaly {

namespace {

inline constexpr wchar_t kBrowsePrompt[] = L"请选择一个文件名目录";
inline constexpr UINT kBrowseFlags = 0x4252;  // files, no new folder, new style, edit box, domain

std::wstring WithoutCrLf(std::wstring text) {
    std::erase(text, L'\r');
    std::erase(text, L'\n');
    return text;
}

std::wstring EnvironmentText(const wchar_t* name) {
    std::array<wchar_t, 32768> buffer{};
    const DWORD length = ::GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    return length > 0 && length < buffer.size() ? std::wstring(buffer.data(), length) : std::wstring();
}

std::vector<std::wstring> FixedDriveRoots() {
    std::array<wchar_t, 520> buffer{};
    const DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
    std::vector<std::wstring> roots;
    if (length == 0 || length >= buffer.size()) return roots;
    for (const wchar_t* root = buffer.data(); *root != L'\0'; root += std::wcslen(root) + 1)
        if (::GetDriveTypeW(root) == DRIVE_FIXED) roots.emplace_back(root);
    return roots;
}

}  // namespace

void usrScanCleanPage::picBtnScanDirFiles_Click(int index) {
    const WorkLoopScope loop(m_workLoops);
    switch (index) {
        case 0:
            m_work.ScanSoureID = 1;
            ScanAllFixedDrives();
            break;
        case 1:
            m_work.ScanSoureID = 2;
            RunQuickScan();
            break;
        case 2:
            m_work.ScanSoureID = 3;
            ScanChosenFolder();
            break;
        default:
            break;
    }
}

void usrScanCleanPage::picBtnScanDirFiles_MouseMove(int index) {
    if (index == m_HoverIndex) return;
    m_HoverIndex = static_cast<short>(index);
    for (int i = 0; i < 3; ++i) {
        HWND button = Control(kIdPicBtnScanDirFiles0 + i);
        if (!button) continue;
        LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE);
        style = i == index ? (style | WS_BORDER) : (style & ~static_cast<LONG_PTR>(WS_BORDER));
        ::SetWindowLongPtrW(button, GWL_STYLE, style);
        ::SetWindowPos(button, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void usrScanCleanPage::ScanAllFixedDrives() {
    const std::vector<std::wstring> roots = FixedDriveRoots();
    ScanBegin();
    m_work.StartScanTimer();
    for (const std::wstring& root : roots) {
        if (m_work.BreakScanClean) break;  // a cancel ends the whole scan, not only one drive
        if (!m_work.ScanFolder(root, true)) break;
    }
    ScanFinished();
    m_work.StopScanTimer();
}

void usrScanCleanPage::RunQuickScan() {
    // Collecting the Office targets can take a while (an application's automation object may be
    // asked) and lets events run: a cancel that comes meanwhile must outlive the scan's reset.
    m_work.BreakScanClean = false;
    TextList targets;
    if (!m_work.SilentScanClean) {
        std::wstring profile = EnvironmentText(L"USERPROFILE");
        if (profile.empty() || profile.back() != L'\\') profile += L"\\";
        AppendToList(targets, ToLowerText(profile + L"Desktop"), true);
        AppendToList(targets, ToLowerText(profile + L"Documents"), true);
    }
    TextList office;
    const std::int32_t found = GetOfficeScanTargets(m_work.ConfigPath, office, m_work.SilentScanClean);
    AppendItemsToList(targets, found, office, true);
    CompactPathList(targets);
    const bool cancelled = m_work.BreakScanClean;
    ScanBegin();
    m_work.BreakScanClean = cancelled;
    m_work.StartScanTimer();
    for (const std::wstring& target : targets) {
        if (m_work.BreakScanClean) break;
        const std::wstring t = WithoutCrLf(ToLowerText(target));
        const bool ok = DirLookup(t, kLookupDirectory) ? m_work.ScanFolder(t, true) : m_work.ScanFile(t, true);
        if (!ok) break;
    }
    ScanFinished();
    m_work.StopScanTimer();
}

void usrScanCleanPage::ScanChosenFolder() {
    const std::wstring path = BrowseForFileOrFolder(ParentForm(), kBrowsePrompt);
    ScanDirOrFiles(path, false);
}

std::wstring usrScanCleanPage::BrowseForFileOrFolder(HWND owner, const std::wstring& prompt) {
    if (m_browseHook) return TrimSpaces(m_browseHook(owner, prompt));
    const OleApartment ole;
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = prompt.c_str();
    info.ulFlags = kBrowseFlags;
    const unique_pidl chosen(::SHBrowseForFolderW(&info));
    std::wstring path;
    if (chosen) {
        std::array<wchar_t, 260> buffer{};
        if (::SHGetPathFromIDListW(chosen.get(), buffer.data())) path = buffer.data();
    }
    return TrimSpaces(path);
}

usrScanCleanPage::ScanTarget usrScanCleanPage::ScanTargetOf(const std::wstring& sPath) noexcept {
    try {
        if (sPath.empty()) return ScanTarget::None;
        // Three characters with ":" second name a drive root, walked without a lookup.
        if (sPath.size() == 3 && sPath[1] == L':') return ScanTarget::Folder;
        const DWORD attributes = ::GetFileAttributesW(sPath.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return ScanTarget::None;
        if (DirLookup(sPath, kLookupNormal)) return ScanTarget::File;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ScanTarget::Folder : ScanTarget::None;
    } catch (...) {
        LogCaughtFault(L"usrScanCleanPage::ScanTargetOf");
        return ScanTarget::None;
    }
}

void usrScanCleanPage::ScanDirOrFiles(const std::wstring& sPath, bool CheckFileExt) noexcept {
    const WorkLoopScope loop(m_workLoops);
    try {
        const ScanTarget target = ScanTargetOf(sPath);
        if (target == ScanTarget::None) return;
        ScanBegin();
        m_work.StartScanTimer();
        if (target == ScanTarget::File)
            m_work.ScanFile(sPath, CheckFileExt);
        else
            m_work.ScanFolder(sPath, CheckFileExt);
        ScanFinished();
        m_work.StopScanTimer();
    } catch (...) {
        // The page stays usable; the scan's own faults are handled inside the walk.
        LogCaughtFault(L"usrScanCleanPage::ScanDirOrFiles");
    }
}

void usrScanCleanPage::ScanBegin() {
    m_work.SetWorkStepState(kWorkScanning);
    m_cleanOutcomeShown = false;
    // The rows of the last results go before the view shows again, not under the new counters.
    m_list.Clear();
    Show(kIdFrameScanning, true);
    Show(kIdFrameScanPage, false);
    SetText(kIdLblScanPath, L"");
    Show(kIdCmdBackToScanPage, false);
    Show(kIdCmdJustClean, false);
    Show(kIdCmdScanCleanBreak, true);
    m_work.ResetForScan();  // cancel flag, counters, lists, log
    SetText(kIdLblRate, L"R...");
    Show(kIdCmdShowQuarantines, false);
    for (int i = 0; i < 7; ++i) SetText(kIdLblResultCountShow0 + i, L"0");
    const bool alive = m_work.IsEngineAlive();
    // An engine that came back since the last scan gets its result list back as well.
    Show(kIdLblEngineloadFailedErr0, !alive);
    Show(kIdListScanCleanResult, alive);
    Show(kIdFrameContactUs, false);
    setResultBarState(false);
}

void usrScanCleanPage::ScanFinished() {
    Show(kIdCmdScanCleanBreak, false);
    if (m_work.Results.VirusCount < 1) {
        m_work.SetWorkStepState(kWorkIdle);
        ShowNoVirusTips();
    } else {
        Show(kIdCmdJustClean, true);
    }
    Show(kIdCmdBackToScanPage, true);
    SetText(kIdLblScanPath, L"扫描完毕");
    SetText(kIdLblRate, L"100%");
    setResultBarState(true);
    m_work.WriteSummaryToLog();
}

void usrScanCleanPage::ShowNoVirusTips() {
    const ScanResults& results = m_work.Results;
    if (results.BadDocFileCount >= 1) {
        for (const std::wstring& path : results.BadDocFiles) {
            std::wstring text = TrimSpaces(path);
            std::erase(text, L'\r');
            std::erase(text, L'\n');
            m_list.AddItem(text, L"损坏文档，联系我们使用文档修复工具尝试修复", 5);
        }
    } else if (results.EncryptedCount >= 1) {
        m_list.AddItem(L"加密文档忘记密码的情况下，可尝试密码恢复功能找回.", L"如需此功能，请联系我们。", 4);
    } else {
        Show(kIdFrameContactUs, true);
        if (HWND frame = Control(kIdFrameContactUs))
            ::SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

}  // namespace tessaly
