// libFuzzer entry: the whole analysis, scan and clean, over arbitrary bytes. A repaired result
// must itself scan clean, or the cleaner handed back something it should not have.
#include <cstdint>
#include <cstdlib>

#include "Analyzer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tessaly::analysis::Analyzer analyzer;
    const std::span<const std::uint8_t> input(data, size);
    (void)analyzer.Scan(input);
    const auto outcome = analyzer.Clean(input);
    if (outcome.code == tessaly::analysis::kCleanRepaired &&
        analyzer.Scan(outcome.bytes).code != tessaly::analysis::kScanClean)
        std::abort();
    return 0;
}
