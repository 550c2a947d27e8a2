// Deterministic mutations of every sample: no input may crash, and a clean never hands back
// bytes that fail our own scan.
#include <gtest/gtest.h>

#include <random>

#include "Analyzer.h"
#include "Samples.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

TEST(Robustness, MutatedSamplesNeverCrashOrCleanIntoMacros) {
    analysis::Analyzer analyzer;
    std::mt19937 rng(2021);
    for (const Sample& s : StandardSamples()) {
        if (s.bytes.size() < 16) continue;
        for (int round = 0; round < 40; ++round) {
            ByteVec m = s.bytes;
            const int flips = 1 + static_cast<int>(rng() % 8);
            for (int f = 0; f < flips; ++f) m[rng() % m.size()] = static_cast<std::uint8_t>(rng());
            const auto verdict = analyzer.Scan(m);
            EXPECT_NE(verdict.code, analysis::kScanEngineError) << s.fileName << ": " << verdict.text;
            const auto outcome = analyzer.Clean(m);
            if (outcome.code == analysis::kCleanRepaired) {
                const auto after = analyzer.Scan(outcome.bytes);
                EXPECT_EQ(after.code, analysis::kScanClean) << s.fileName << " round " << round << ": " << after.text;
            } else {
                EXPECT_TRUE(outcome.bytes.empty());
            }
        }
    }
}

}  // namespace
