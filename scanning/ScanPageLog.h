// The scan log "scan.log" in the per-machine data folder: code-page text, CR LF lines, the finding
// lines of the last scan followed by its summary block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

inline constexpr wchar_t kScanLogName[] = L"scan.log";

std::wstring ScanLogPath();
// Appends line & CR LF in the system code page; an empty line writes nothing. False when the
// file cannot be opened (the scan goes on; the log is only a record).
bool WriteScanLog(const std::wstring& logPath, const std::wstring& line);
// Deletes the log; faults are ignored.
void ReinitScanLog(const std::wstring& logPath);

struct ScanSummary {
    std::wstring DateText;  // current date and time in the system's short date and long time format
    std::int32_t TotalCount = 0;
    std::int32_t VirusCount = 0;
    std::int32_t SuspectedCount = 0;
    std::wstring AppVersion;
};
std::wstring CurrentScanDateText();
std::vector<std::wstring> ScanSummaryLines(const ScanSummary& summary);

}  // namespace tessaly
