// The statistics message "FEEDBACK::" the page hands to the engine after a scan: the page's counts
// and records as the link's statistics (EngineLinkFeedback.h), and the setting that allows it.
#pragma once

#include <cstdint>
#include <string>

#include "EngineLinkFeedback.h"
#include "ScanPageResults.h"

namespace tessaly {

struct ScanFeedbackFacts {
    std::wstring AppVersion;
    std::int32_t ScanSoureID = 0;
    std::int32_t ScanUsedTime = 0;
    std::int32_t CleanUsedTime = 0;
};

// "CloudFeedBack": a number whose whole part is not 0; any other text turns the message off.
bool IsCloudFeedbackOn(const std::wstring& value);
// The statistics text of the page's last scan and clean (BuildFeedbackText).
std::wstring BuildScanFeedbackText(const ScanFeedbackFacts& facts, const ScanResults& results);

}  // namespace tessaly
