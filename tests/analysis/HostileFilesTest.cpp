// Crafted files that multiply a reader's work: each gets a clear answer, shared streams are
// decompressed once, and a file that needs more than its budget says so instead of running on.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "Budget.h"
#include "HostileDocuments.h"
#include "Inspection.h"
#include "Zip.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

TEST(HostileFiles, EachGetsAClearAnswerAndNoCleanThatKeepsMacros) {
    analysis::Analyzer analyzer;
    for (const HostileSample& s : HostileSamples(0.2)) {
        const auto v = analyzer.Scan(s.bytes);
        EXPECT_TRUE(v.code == analysis::kScanSuspected || v.code == analysis::kScanDamaged) << s.fileName << ": " << v.text;
        const auto outcome = analyzer.Clean(s.bytes);
        EXPECT_NE(outcome.code, analysis::kCleanEngineError) << s.fileName << ": " << outcome.text;
        if (outcome.code == analysis::kCleanRepaired) {
            EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean) << s.fileName;
        }
    }
}

TEST(HostileFiles, ModuleRecordsNamingOneStreamShareOneSource) {
    // 400 records naming one stream of 4 MiB of source: read once, listed once.
    const ByteVec doc = ManyModulesOneStream(400, 1024);
    analysis::WorkBudget budget = analysis::WorkBudget::ForDocument(doc.size());
    const auto f = analysis::InspectDocument(doc, budget);
    EXPECT_FALSE(f.overBudget);
    ASSERT_EQ(f.code.size(), 1u);
    EXPECT_GT(f.code.front().source.size(), 4000000u);
}

TEST(HostileFiles, EntriesSharingOneChainAreReadOnce) {
    const ByteVec doc = SharedChainDirectory(3000, 4, 2048);
    analysis::WorkBudget budget = analysis::WorkBudget::ForDocument(doc.size());
    const auto f = analysis::InspectDocument(doc, budget);
    EXPECT_FALSE(f.overBudget);
    EXPECT_TRUE(f.hasVbaStorage && f.vbaIncomplete);  // orphans: suspected, not clean
}

TEST(HostileFiles, MacroSheetsPointingIntoOneSubstreamAreWalkedOnce) {
    const ByteVec xls = MacroSheetsIntoOneSubstream(6000);
    analysis::WorkBudget budget = analysis::WorkBudget::ForDocument(xls.size());
    const auto f = analysis::InspectDocument(xls, budget);
    EXPECT_FALSE(f.overBudget);
    EXPECT_TRUE(f.hasXlm);
}

TEST(HostileFiles, OverBudgetIsSuspectedWhereMacrosWereSeen) {
    // 32 containers of 8 MiB each that fail at the end, under 20 more names: far more than the
    // budget of a 400 KB file.
    const ByteVec doc = OrphanProbes(32, 2048, 20);
    analysis::WorkBudget budget = analysis::WorkBudget::ForDocument(doc.size());
    const auto f = analysis::InspectDocument(doc, budget);
    EXPECT_TRUE(f.overBudget);
    const auto v = analysis::Analyzer().Scan(doc);
    EXPECT_EQ(v.code, analysis::kScanSuspected);
    EXPECT_EQ(v.text, "macros in a document too costly to read fully");
}

TEST(HostileFiles, StoragesOfEmbeddedPresentationsInflateOnTheScansBudget) {
    // Eight embedded presentations of 64 MiB of storages each: far more than a small file may cost.
    const ByteVec doc = EmbeddedPresentations(8);
    analysis::WorkBudget budget = analysis::WorkBudget::ForDocument(doc.size());
    EXPECT_TRUE(analysis::InspectDocument(doc, budget).overBudget);
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(doc).code, analysis::kScanSuspected);
    EXPECT_NE(analyzer.Clean(doc).code, analysis::kCleanRepaired);
}

TEST(HostileFiles, LongRunsOfElementsAreEditedAndSearchedInOnePass) {
    analysis::Analyzer analyzer;
    // An EncryptionInfo whose XML starts with thousands of "<" still opens with the default password.
    EXPECT_EQ(analyzer.Scan(AgileInfoWithAngleRun(20000)).code, analysis::kScanSuspected);
    // Thousands of references to the project, each before one that stays: the first all go.
    const auto outcome = analyzer.Clean(PackageWithRepeatedReferences(3000, 50));
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    const auto archive = analysis::zip::Archive::Open(outcome.bytes);
    ASSERT_TRUE(archive);
    for (const char* part : {"[Content_Types].xml", "xl/_rels/workbook.xml.rels"}) {
        const ByteVec xml = archive->Read(part).value();
        const std::string text(xml.begin(), xml.end());
        EXPECT_EQ(text.find("vbaProject.bin"), std::string::npos) << part;
        EXPECT_NE(text.find("extra/part49.xml"), std::string::npos) << part;
    }
}

TEST(WorkBudget, ChargesStopAtTheLimitAndStayStopped) {
    analysis::WorkBudget budget = analysis::WorkBudget::ForDocument(0);
    EXPECT_TRUE(budget.ChargeDecompressed(1000));
    EXPECT_FALSE(budget.ChargeDecompressed(budget.decompressedLeft() + 1));
    EXPECT_TRUE(budget.exhausted());
    EXPECT_FALSE(budget.ChargeRead(1));
    analysis::WorkBudget unlimited;
    EXPECT_TRUE(unlimited.ChargeSteps(1ull << 40));
    // The allowance grows with the document's real size.
    EXPECT_GT(analysis::WorkBudget::ForDocument(100u << 20).decompressedLeft(),
              analysis::WorkBudget::ForDocument(1u << 20).decompressedLeft());
}

}  // namespace
