// The statistics message "FEEDBACK::" of a finished scan: its keys in their order and the text the
// engine receives, made to fit one message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EngineLinkProtocol.h"

namespace tessaly {

struct FeedbackStatistics {
    std::wstring AppVersion;
    std::int32_t FromSource = 0;  // 1 full, 2 quick, 3 chosen, 4 command line, 5 guard
    std::int32_t ScanUsedTime = 0;
    std::int32_t TotalCount = 0;
    std::int32_t VirusCount = 0;
    std::int32_t CleanedCount = 0;
    std::int32_t SuspectedCount = 0;
    std::int32_t EncryptedCount = 0;
    std::int32_t CleanFailedCount = 0;
    std::int32_t BadDocFileCount = 0;
    std::int32_t CleanUsedTime = 0;
    std::vector<std::wstring> VirusNames;  // in the order of the infected-file records
};

// Keys and values joined by "&", not escaped; the clean time and the virus names only when viruses
// were found. The name list is cut after the last whole name that still lets "FEEDBACK::" and the
// text fit one message, and left out when not even one name fits.
std::wstring BuildFeedbackText(const FeedbackStatistics& statistics);
// "FEEDBACK::" and the text.
std::wstring FeedbackMessage(const std::wstring& statisticsText);

}  // namespace tessaly
