// Every sample of the other formats gets its code, and a clean of it keeps the clean contract: a
// repaired document scans clean and opens, a refused one comes back untouched.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "Cfb.h"
#include "FormatSamples.h"

using namespace tessaly;

namespace {

TEST(FormatSamples, EachGetsItsCodeAndAFairClean) {
    analysis::Analyzer analyzer;
    for (const fixtures::Sample& s : fixtures::FormatSamples()) {
        const auto v = analyzer.Scan(s.bytes);
        EXPECT_EQ(v.code, s.expectedScanCode) << s.fileName << ": " << v.text;
        const auto c = analyzer.Clean(s.bytes);
        if (c.code == analysis::kCleanRepaired) {
            EXPECT_EQ(analyzer.Scan(c.bytes).code, analysis::kScanClean) << s.fileName;
            EXPECT_TRUE(analysis::cfb::CompoundFile::Open(c.bytes)) << s.fileName;
        } else {
            EXPECT_TRUE(c.bytes.empty()) << s.fileName;
            if (s.expectedScanCode == analysis::kScanInfected && s.fileName.find("laroux") == std::string::npos)
                ADD_FAILURE() << s.fileName << " was not cleaned: " << c.text;
        }
    }
}

}  // namespace
