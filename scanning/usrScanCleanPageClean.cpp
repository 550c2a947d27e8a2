// The result view of the page: the clean road (a verified backup before every clean request),
// leaving the view with its statistics message, the counter dialogs and the quarantine button.
#include "usrScanCleanPage.h"

#include "ClsQuarantine.h"
#include "ScanPageWorkState.h"
#include "TextConvert.h"
#include "frmQuarantines.h"
#include "frmShowMsg.h"

namespace tessaly {

namespace {

struct CounterDialog {
    const wchar_t* caption;
    const wchar_t* title;
};

inline constexpr CounterDialog kCounterDialogs[4] = {
    {L"可疑文件详情",
     L"可疑文件一般指包含宏代码的文件，您可通过在线云查杀的尝试识别这些文件，您也可以将这些文件提交至作者进行查杀支持。"},
    {L"加密文档列表", L"设置了密码的文档无法确认是否含病毒，请联系作者提供加密文档扫毒支持服务"},
    {L"修复失败列表", L"清除病毒失败的文件，请进行删除或联系作者修复清除方法"},
    {L"损坏文件列表", L"以下为本次扫描中发现损坏的文档，如确认文档损坏尝试我们的文档修复工具服务"},
};

inline constexpr wchar_t kLeaveQuestion[] =
    L"继续返回吗?\r\n扫描结果发现病毒，不处理直接返回可能会导致病毒破坏系统";

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) {
        if (!text.empty()) text += L"\r\n";
        text += line;
    }
    return text;
}

}  // namespace

void usrScanCleanPage::cmdJustClean_Click() {
    const WorkLoopScope loop(m_workLoops);
    if (m_work.Results.VirusCount == 0) return cmdBackToScanPage_Click();
    CleanBegin();
    m_work.StartCleanTimer();
    const CleanRunEnd end = m_work.RunCleanLoop([this](const std::wstring& path) { return BackupBeforeClean(path); });
    if (end == CleanRunEnd::EngineExit) {
        // The holding form is being unloaded; the page stays in the cleaning state.
        m_quarantine.reset();
        return;
    }
    CleanFinished();
    m_work.StopCleanTimer();
    m_quarantine.reset();
}

bool usrScanCleanPage::BackupBeforeClean(const std::wstring& path) {
    if (m_backupOverride) return m_backupOverride(path);
    // One store for the whole run; a store that cannot be made throws and ends the run.
    if (!m_quarantine) m_quarantine = std::make_unique<ClsQuarantine>();
    return m_quarantine->QuarantineFile(path);
}

void usrScanCleanPage::CleanBegin() {
    Show(kIdCmdScanCleanBreak, false);
    m_work.SetWorkStepState(kWorkCleaning);
    Show(kIdCmdBackToScanPage, false);
    setResultBarState(false);
    Enable(kIdCmdJustClean, false);
    SetText(kIdCmdJustClean, L"清除中...");
    m_work.Results.CleanedCount = 0;
    m_work.Results.CleanFailedCount = 0;
    m_work.Results.CleanFailedFiles.clear();
    SetText(kIdLblScanPath, L"");
    SetText(kIdLblRate, L"0%");
    Show(kIdCmdShowQuarantines, false);
}

void usrScanCleanPage::CleanFinished() {
    m_work.SetWorkStepState(kWorkIdle);
    Show(kIdCmdBackToScanPage, true);
    Enable(kIdCmdJustClean, true);
    SetText(kIdCmdJustClean, L"立即处理");
    Show(kIdCmdJustClean, false);
    setResultBarState(true);
    SetText(kIdLblScanPath, L"处理完成");
    Show(kIdCmdShowQuarantines, true);
    m_cleanOutcomeShown = true;
}

void usrScanCleanPage::cmdBackToScanPage_Click() {
    if (IsShown(kIdCmdJustClean) && !m_work.SilentScanClean) {
        if (AskUser(kLeaveQuestion, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
    }
    m_work.SetWorkStepState(kWorkIdle);
    Show(kIdFrameScanning, false);
    Show(kIdFrameScanPage, true);
    m_cleanOutcomeShown = false;
    m_work.SendScanFeedback();
}

void usrScanCleanPage::cmdShowQuarantines_Click() {
    if (m_quarantineHook) return m_quarantineHook(ParentForm());
    frmQuarantines::ShowModal(ParentForm());
}

void usrScanCleanPage::lblResultCountShow_Click(int index) {
    if (index < 3 || index > 6) return;
    const ScanResults& results = m_work.Results;
    const std::vector<std::wstring>* lists[4] = {&results.SuspectedFiles, &results.EncryptedFiles,
                                                 &results.CleanFailedFiles, &results.BadDocFiles};
    const std::int32_t counts[4] = {results.SuspectedCount, results.EncryptedCount, results.CleanFailedCount,
                                    results.BadDocFileCount};
    const int slot = index - 3;
    const std::wstring text = counts[slot] < 1 ? std::wstring() : JoinLines(*lists[slot]);
    if (m_detailsHook) return m_detailsHook(ParentForm(), kCounterDialogs[slot].caption, kCounterDialogs[slot].title, text);
    frmShowMsg dialog;
    if (!dialog.Load(ParentForm())) return;
    dialog.Caption(kCounterDialogs[slot].caption);
    dialog.Title(kCounterDialogs[slot].title);
    dialog.Message(text);
    dialog.ShowModal();
}

}  // namespace tessaly
