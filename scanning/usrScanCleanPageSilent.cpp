// The guard's use of the page: a background quick scan without dialogs, with cleaning at once when
// "MonitorDoAction" asks for it, and the way back to the scan buttons.
#include "usrScanCleanPageSilent.h"

#include <cmath>
#include <cstdlib>
#include <cwctype>

#include "FaultLog.h"
#include "IniOperation.h"
#include "TextConvert.h"
#include "usrScanCleanPage.h"

namespace tessaly {

namespace {

// Digits, at most one point among them, at least one digit.
std::size_t SkipMantissa(const std::wstring& text, std::size_t at) {
    std::size_t digits = 0;
    bool point = false;
    for (; at < text.size(); ++at) {
        if (std::iswdigit(text[at]) && text[at] < 0x80) {
            ++digits;
        } else if (text[at] == L'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    return digits > 0 ? at : std::wstring::npos;
}

bool IsDecimalNumberText(const std::wstring& text) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) ++at;
    at = SkipMantissa(text, at);
    if (at == std::wstring::npos) return false;
    if (at < text.size() && (text[at] == L'e' || text[at] == L'E')) {
        ++at;
        if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) ++at;
        const std::size_t start = at;
        while (at < text.size() && std::iswdigit(text[at]) && text[at] < 0x80) ++at;
        if (at == start) return false;
    }
    return at == text.size();
}

}  // namespace

std::optional<double> SettingNumber(const std::wstring& value) {
    const std::wstring text = TrimSpaces(value);
    if (!IsDecimalNumberText(text)) return std::nullopt;
    const double number = std::wcstod(text.c_str(), nullptr);
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

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
        CleanAtOnceWhenAsked();
        const ScanResults& results = m_work.Results;
        if (results.VirusCount > 0 && !results.InfectedFiles.empty()) {
            result = static_cast<std::int32_t>(results.InfectedFiles.size());
            const std::wstring more = results.VirusCount >= 2 ? kMoreVirusesMark : L"";
            VIRUSRESULTINFO[0] = results.InfectedFiles.front().Path + more;
            VIRUSRESULTINFO[1] = results.InfectedFiles.front().VirusName + more;
        }
    } catch (...) {
        LogCaughtFault(L"usrScanCleanPage::BackEndScan");
    }
    ClickBackToScanPageButton();
    return result;
}

void usrScanCleanPage::CleanAtOnceWhenAsked() {
    const std::wstring value = ReadIniString(m_work.ConfigPath, ini::kAppSetting, ini::kMonitorDoAction, L"0");
    const std::optional<double> action = SettingNumber(value);
    if (!action) {
        // A damaged setting only costs the clean; what the scan found is still reported.
        LogFault(L"usrScanCleanPage::BackEndScan", L"MonitorDoAction is not a number: " + value);
        return;
    }
    if (*action != kDoActionCleanAtOnce) return;
    // A scan that was told to stop (an office program or the main program came back, an
    // installation began, the engine left) sends no clean request: the next background scan
    // finds the documents again.
    if (m_work.BreakScanClean) return;
    cmdJustClean_Click();
}

}  // namespace tessaly
