// The guard's use of the page: a background quick scan without dialogs, with cleaning at once when
// "MonitorDoAction" asks for it, and the way back to the scan buttons.
#include "usrScanCleanPage.h"

#include <cstdlib>

#include "FaultLog.h"
#include "IniOperation.h"
#include "TextConvert.h"

namespace tessaly {

namespace {

inline constexpr wchar_t kMoreMark[] = L" ...";

bool IsCleanAtOnce(const std::wstring& value) {
    const std::wstring text = TrimSpaces(value);
    wchar_t* end = nullptr;
    const double number = std::wcstod(text.c_str(), &end);
    return !text.empty() && end != text.c_str() && *end == L'\0' && number == 2.0;
}

}  // namespace

void usrScanCleanPage::ClickBackToScanPageButton() noexcept {
    try {
        cmdBackToScanPage_Click();
    } catch (...) {
        LogCaughtFault(L"usrScanCleanPage::ClickBackToScanPageButton");
    }
}

std::int32_t usrScanCleanPage::BackEndScan(std::array<std::wstring, 2>& VIRUSRESULTINFO) noexcept {
    const WorkLoopScope loop(m_workLoops);
    std::int32_t result = 0;
    try {
        RunQuickScan();
    } catch (...) {
        LogCaughtFault(L"usrScanCleanPage::BackEndScan");
    }
    try {
        if (IsCleanAtOnce(ReadIniString(m_work.ConfigPath, ini::kAppSetting, ini::kMonitorDoAction, L"0")))
            cmdJustClean_Click();
        const ScanResults& results = m_work.Results;
        if (results.VirusCount > 0 && !results.InfectedFiles.empty()) {
            result = static_cast<std::int32_t>(results.InfectedFiles.size());
            const std::wstring more = results.VirusCount >= 2 ? kMoreMark : L"";
            VIRUSRESULTINFO[0] = results.InfectedFiles.front().Path + more;
            VIRUSRESULTINFO[1] = results.InfectedFiles.front().VirusName + more;
        }
    } catch (...) {
        LogCaughtFault(L"usrScanCleanPage::BackEndScan");
    }
    ClickBackToScanPageButton();
    return result;
}

}  // namespace tessaly
