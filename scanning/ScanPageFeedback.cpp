// Statistics of the page for the "FEEDBACK::" message.
#include "ScanPageFeedback.h"

#include <cmath>
#include <cstdlib>

#include "TextConvert.h"

namespace tessaly {

bool IsCloudFeedbackOn(const std::wstring& value) {
    const std::wstring text = TrimSpaces(value);
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    const double number = std::wcstod(text.c_str(), &end);
    if (end == text.c_str() || *end != L'\0' || !std::isfinite(number)) return false;
    return std::trunc(number) != 0.0;
}

std::wstring BuildScanFeedbackText(const ScanFeedbackFacts& facts, const ScanResults& results) {
    FeedbackStatistics statistics;
    statistics.AppVersion = facts.AppVersion;
    statistics.FromSource = facts.ScanSoureID;
    statistics.ScanUsedTime = facts.ScanUsedTime;
    statistics.TotalCount = results.TotalCount;
    statistics.VirusCount = results.VirusCount;
    statistics.CleanedCount = results.CleanedCount;
    statistics.SuspectedCount = results.SuspectedCount;
    statistics.EncryptedCount = results.EncryptedCount;
    statistics.CleanFailedCount = results.CleanFailedCount;
    statistics.BadDocFileCount = results.BadDocFileCount;
    statistics.CleanUsedTime = facts.CleanUsedTime;
    for (const InfectedFileRecord& record : results.InfectedFiles) statistics.VirusNames.push_back(record.VirusName);
    return BuildFeedbackText(statistics);
}

}  // namespace tessaly
