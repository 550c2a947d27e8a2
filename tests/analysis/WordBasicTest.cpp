// Word 6.0/95: documents of that era are read as the documents they are, WordBasic macros in
// templates are reported (and named where a family is known), and cleaning empties the macro
// table in place, leaving the text and every other stream as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "Analyzer.h"
#include "Cfb.h"
#include "CleanRefusals.h"
#include "WordBasic.h"
#include "Word6Documents.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

const WordBasicMacro kGreeting{"Greeting", {"Hello from a macro"}};
// The macro set by which the best-known family is described; inert strings only.
const std::vector<WordBasicMacro> kConceptLike = {
    {"AAAZAO", {"Global:AAAZFS"}}, {"AAAZFS", {"inert"}}, {"AutoOpen", {"inert"}}, {"PayLoad", {"inert"}}};

bool Contains(const ByteVec& haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

int Scan(const Word6Options& o) { return analysis::Analyzer().Scan(MakeWord6Doc(o)).code; }

TEST(WordBasic, OldWordDocumentsAreReadNotDamaged) {
    for (std::uint16_t nFib : {101, 104}) {
        for (std::uint16_t ident : {0xA5DC, 0xA699}) {
            EXPECT_EQ(Scan({.isTemplate = false, .ident = ident, .nFib = nFib}), analysis::kScanClean) << nFib;
            EXPECT_EQ(Scan({.ident = ident, .nFib = nFib}), analysis::kScanClean) << nFib;
        }
    }
    EXPECT_EQ(Scan({.encrypted = true}), analysis::kScanEncrypted);
}

TEST(WordBasic, MacrosAreReportedAndReadFromTheirTokens) {
    EXPECT_EQ(Scan({.macros = {kGreeting}}), analysis::kScanSuspected);
    EXPECT_EQ(Scan({.macros = {kGreeting}, .wideCount = true}), analysis::kScanSuspected);
    const analysis::wordbasic::MacroTable table = analysis::wordbasic::ReadMacros(Word6Stream({.macros = {kGreeting}}));
    ASSERT_EQ(table.macros.size(), 1u);
    EXPECT_EQ(table.macros[0].name, "Greeting");
    EXPECT_NE(table.macros[0].text.find("Hello from a macro"), std::string::npos);
    // Execute-only macros are stored XOR a key and read the same.
    WordBasicMacro hidden = kGreeting;
    hidden.key = 0x5A;
    const auto encoded = analysis::wordbasic::ReadMacros(Word6Stream({.macros = {hidden}}));
    ASSERT_EQ(encoded.macros.size(), 1u);
    EXPECT_EQ(encoded.macros[0].text, table.macros[0].text);
}

TEST(WordBasic, KnownFamiliesAreNamed) {
    analysis::Analyzer analyzer;
    std::vector<WordBasicMacro> hidden = kConceptLike;
    for (auto& m : hidden) m.key = 0x21;
    for (const auto& macros : {kConceptLike, hidden}) {
        const auto v = analyzer.Scan(MakeWord6Doc({.macros = macros, .nFib = 104}));
        EXPECT_EQ(v.code, analysis::kScanInfected);
        EXPECT_EQ(v.text, "WM.Concept.A");
    }
    const auto wazzu = analyzer.Scan(MakeWord6Doc({.macros = {{"AutoOpen", {"wazzu "}}}}));
    EXPECT_EQ(wazzu.text, "WM.Wazzu.A");
}

TEST(WordBasic, AnUnreadableTableCountsOnlyInTemplates) {
    EXPECT_EQ(Scan({.macros = {kGreeting}, .unknownRecordFirst = true}), analysis::kScanSuspected);
    EXPECT_EQ(Scan({.isTemplate = false, .unknownRecordFirst = true}), analysis::kScanClean);
}

TEST(WordBasic, CleaningEmptiesTheTableInPlace) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakeWord6Doc({.macros = kConceptLike, .text = "Keep every word of this."});
    const auto outcome = analyzer.Clean(original);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(outcome.text, "WM.Concept.A");
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
    for (std::string_view gone : {"AAAZFS", "Global:", "PayLoad"}) EXPECT_FALSE(Contains(outcome.bytes, gone)) << gone;

    auto before = analysis::cfb::CompoundFile::Open(original);
    auto after = analysis::cfb::CompoundFile::Open(outcome.bytes);
    ASSERT_TRUE(before && after);
    EXPECT_EQ(before->ReadStream("\x05SummaryInformation"), after->ReadStream("\x05SummaryInformation"));
    const ByteVec was = *before->ReadStream("WordDocument");
    const ByteVec now = *after->ReadStream("WordDocument");
    ASSERT_EQ(was.size(), now.size());
    // Header (but for the table's length) and text unchanged; the table is the empty one.
    const std::uint32_t table = analysis::ReadAt<std::uint32_t>(was, 0x118).value();
    EXPECT_TRUE(std::equal(was.begin(), was.begin() + 0x11C, now.begin()));
    EXPECT_EQ(analysis::ReadAt<std::uint32_t>(now, 0x11C).value(), 2u);
    EXPECT_TRUE(std::equal(was.begin() + 0x120, was.begin() + 0x300 + 24, now.begin() + 0x120));
    EXPECT_EQ(now[table], 0xFF);
    EXPECT_EQ(now[table + 1], 0x40);
}

TEST(WordBasic, CleaningRefusesWhatWouldTouchTheText) {
    analysis::Analyzer analyzer;
    const auto outcome = analyzer.Clean(MakeWord6Doc({.macros = {kGreeting}, .macroInText = true}));
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_EQ(outcome.text, analysis::refusals::kWordBasicUnreadable);
    EXPECT_TRUE(outcome.bytes.empty());
}

}  // namespace
