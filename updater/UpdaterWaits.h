// The long waits of the updater in one table. The shipped program links ShippedWaits.cpp; test
// builds link a table of their own, so the waits can be shortened there without any setting of
// the product.
#pragma once

#include <cstdint>

namespace tessaly::updater {

struct UpdaterWaits {
    std::uint32_t postAnswerMs;      // longest wait for the answer to one update request
    std::uint32_t postRetryPauseMs;  // pause after a failed update request before the next attempt
    std::uint32_t markerPollMs;      // one poll of the waits on run markers
    std::uint32_t markerPolls;       // polls of those waits
    std::uint32_t packageRunMs;      // longest wait for the installer package the temporary copy runs
    std::uint32_t transferStallMs;   // longest time a download may go without a new byte
    std::uint32_t transferOverallMs; // longest time one way of downloading the package may take
};

// Defined once per program: ShippedWaits.cpp for zdvshengji.exe.
const UpdaterWaits& Waits() noexcept;

}  // namespace tessaly::updater
