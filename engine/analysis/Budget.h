// The work one scan or clean may do, in proportion to the document's real size rather than to
// what its fields claim: bytes read from the container, bytes decompressed, records walked, bytes
// inflated only to be checked. Readers charge it as they go and stop when it runs out; the verdict
// then says so instead of hanging.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Limits.h"

namespace tessaly::analysis {

class WorkBudget {
public:
    // No limit: for callers outside a scan (tests of one reader, the writers' own checks).
    WorkBudget() = default;
    static WorkBudget ForDocument(std::uint64_t documentBytes) {
        WorkBudget b;
        b.m_readLeft = limits::kBudgetBaseRead + limits::kBudgetReadPerByte * documentBytes;
        b.m_decompressedLeft = std::min(limits::kBudgetMaxDecompressed,
                                        limits::kBudgetBaseDecompressed + limits::kBudgetDecompressedPerByte * documentBytes);
        b.m_stepsLeft = limits::kBudgetBaseSteps + limits::kBudgetStepsPerByte * documentBytes;
        b.m_checkedLeft = limits::kBudgetBaseChecked + limits::kBudgetCheckedPerByte * documentBytes;
        return b;
    }

    // Each returns false, and the budget stays exhausted, once the charge no longer fits.
    bool ChargeRead(std::uint64_t bytes) { return Charge(m_readLeft, bytes); }
    bool ChargeDecompressed(std::uint64_t bytes) { return Charge(m_decompressedLeft, bytes); }
    bool ChargeSteps(std::uint64_t steps) { return Charge(m_stepsLeft, steps); }
    // Bytes inflated only to check them against their CRC-32, never kept.
    bool ChargeChecked(std::uint64_t bytes) { return Charge(m_checkedLeft, bytes); }

    [[nodiscard]] bool exhausted() const { return m_exhausted; }
    [[nodiscard]] std::uint64_t decompressedLeft() const { return m_decompressedLeft; }

private:
    bool Charge(std::uint64_t& left, std::uint64_t amount) {
        if (m_exhausted || amount > left) {
            m_exhausted = true;
            return false;
        }
        left -= amount;
        return true;
    }

    std::uint64_t m_readLeft = UINT64_MAX;
    std::uint64_t m_decompressedLeft = UINT64_MAX;
    std::uint64_t m_stepsLeft = UINT64_MAX;
    std::uint64_t m_checkedLeft = UINT64_MAX;
    bool m_exhausted = false;
};

}  // namespace tessaly::analysis
