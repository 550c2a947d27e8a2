// The statistics message "FEEDBACK::" the page hands to the engine after a scan.
#pragma once

#include <cstdint>
#include <string>

#include "ScanPageResults.h"

namespace tessaly {

inline constexpr wchar_t kFeedbackPrefix[] = L"FEEDBACK::";

struct ScanFeedbackFacts {
    std::wstring AppVersion;
    std::int32_t ScanSoureID = 0;
    std::int32_t ScanUsedTime = 0;
    std::int32_t CleanUsedTime = 0;
};

// "CloudFeedBack": a number whose whole part is not 0; any other text turns the message off.
bool IsCloudFeedbackOn(const std::wstring& value);
// Keys and values joined by "&", not escaped; the clean time and the virus names only after a scan
// that found viruses.
std::wstring BuildScanFeedbackText(const ScanFeedbackFacts& facts, const ScanResults& results);

}  // namespace tessaly
