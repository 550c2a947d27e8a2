// Each line opens and closes the file, so the log is complete on disk even when the program ends
// in the middle of a scan.
#include "ScanPageLog.h"

#include <windows.h>

#include <array>

#include "ClsPathLib.h"
#include "FaultLog.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace tessaly {

std::wstring ScanLogPath() { return GetCommonDataFolder() + kScanLogName; }

bool WriteScanLog(const std::wstring& logPath, const std::wstring& line) {
    if (line.empty()) return true;
    unique_file file(::CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const std::string bytes = WideToAnsi(line) + "\r\n";
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void ReinitScanLog(const std::wstring& logPath) {
    try {
        ClsPathLib pathLib;
        if (pathLib.IsFile(logPath)) pathLib.DelFile(logPath);
    } catch (...) {
        LogCaughtFault(L"ReinitScanLog");
    }
}

std::wstring CurrentScanDateText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    std::array<wchar_t, 128> date{};
    std::array<wchar_t, 128> time{};
    const int dateLength = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date.data(),
                                            static_cast<int>(date.size()));
    const int timeLength =
        ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time.data(), static_cast<int>(time.size()));
    std::wstring text = dateLength > 0 ? std::wstring(date.data()) : std::wstring();
    if (timeLength > 0) text += (text.empty() ? L"" : L" ") + std::wstring(time.data());
    return text;
}

std::vector<std::wstring> ScanSummaryLines(const ScanSummary& summary) {
    return {
        L"**********扫描结果**********",
        L"扫描日期:" + summary.DateText,
        L"扫描文件数:" + std::to_wstring(summary.TotalCount),
        L"病毒数:" + std::to_wstring(summary.VirusCount),
        L"可疑文件数:" + std::to_wstring(summary.SuspectedCount),
        L"程序版本:" + summary.AppVersion,
    };
}

}  // namespace tessaly
