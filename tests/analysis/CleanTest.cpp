// Cleaning: the rebuilt documents hold no macros and no VBA bytes anywhere, keep every other
// stream or part, and the original is never replaced by something broken.
#include <gtest/gtest.h>

#include <algorithm>

#include "Analyzer.h"
#include "Biff.h"
#include "BiffFormat.h"
#include "Cfb.h"
#include "Documents.h"
#include "SampleSources.h"
#include "Samples.h"
#include "Zip.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

bool Contains(const ByteVec& haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

std::string Part(const ByteVec& package, std::string_view name) {
    auto archive = analysis::zip::Archive::Open(package);
    if (!archive) return "<unreadable>";
    auto data = archive->Read(name);
    return data ? std::string(data->begin(), data->end()) : std::string("<missing>");
}

const VbaModule kReplicator{"Spreader", sources::kReplicator};

TEST(Clean, EveryMacroSampleComesOutCleanOrRefused) {
    analysis::Analyzer analyzer;
    for (const Sample& s : StandardSamples()) {
        const auto outcome = analyzer.Clean(s.bytes);
        switch (s.expectedScanCode) {
            case analysis::kScanEncrypted: EXPECT_EQ(outcome.code, analysis::kCleanEncrypted) << s.fileName; break;
            case analysis::kScanDamaged: EXPECT_EQ(outcome.code, analysis::kCleanDamaged) << s.fileName; break;
            case analysis::kScanClean:
                if (s.fileName.find("empty-project") == std::string::npos) {
                    EXPECT_EQ(outcome.code, analysis::kCleanNothingToDo) << s.fileName;
                }
                break;
            default:
                ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << s.fileName << ": " << outcome.text;
                EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean) << s.fileName;
                EXPECT_FALSE(Contains(outcome.bytes, "Attribute VB_")) << s.fileName;
                EXPECT_FALSE(Contains(outcome.bytes, "PROJECTwm")) << s.fileName;
        }
        if (outcome.code != analysis::kCleanRepaired) {
            EXPECT_TRUE(outcome.bytes.empty()) << s.fileName;
        }
    }
}

TEST(Clean, ReportsTheVirusRemoved) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Clean(MakeDoc({.modules = {kReplicator}})).text, "W97M.Replicator.NormalTemplate");
}

TEST(Clean, WordKeepsEveryOtherStreamByteForByte) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakeDoc({.modules = {kReplicator}, .text = "Keep this text."});
    const auto outcome = analyzer.Clean(original);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired);
    auto before = analysis::cfb::CompoundFile::Open(original);
    auto after = analysis::cfb::CompoundFile::Open(outcome.bytes);
    ASSERT_TRUE(before && after);
    EXPECT_FALSE(after->Find("Macros"));
    for (const char* path : {"WordDocument", "1Table", "\x05SummaryInformation", "\x01" "CompObj"})
        EXPECT_EQ(before->ReadStream(path), after->ReadStream(path)) << path;
}

TEST(Clean, ExcelLosesObjProjAndKeepsSheetOffsetsValid) {
    analysis::Analyzer analyzer;
    const auto outcome = analyzer.Clean(MakeXls({.modules = {kReplicator}}));
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired);
    auto file = analysis::cfb::CompoundFile::Open(outcome.bytes);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->Find("_VBA_PROJECT_CUR"));
    auto stream = file->ReadStream("Workbook");
    ASSERT_TRUE(stream);
    const auto wb = analysis::biff::ReadWorkbook(*stream);
    EXPECT_TRUE(wb.readable);
    EXPECT_FALSE(wb.hasObjProj);
    ASSERT_EQ(wb.sheets.size(), 1u);
    // The sheet's substream still starts with a BOF where BOUNDSHEET says.
    EXPECT_EQ(analysis::ReadField(*stream, analysis::biff::record::kId, wb.sheets[0].streamOffset), analysis::biff::kBof);
    // INDEX's absolute positions moved with it: they point just past the INDEX record itself.
    const std::size_t indexAt = wb.sheets[0].streamOffset + 20;
    ASSERT_EQ(analysis::ReadField(*stream, analysis::biff::record::kId, indexAt), analysis::biff::kIndex);
    const std::size_t firstRowBlock = indexAt + analysis::biff::record::kHeaderSize + analysis::biff::rowindex::kRowBlockPositionsOffset;
    EXPECT_EQ(analysis::ReadAt<std::uint32_t>(*stream, firstRowBlock), indexAt + 24);
}

TEST(Clean, OoxmlDropsProjectRelationshipsAndContentTypes) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakePackage({.modules = {kReplicator}, .macroEnabledType = true, .vbaData = true});
    const auto outcome = analyzer.Clean(original);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired);
    const std::string types = Part(outcome.bytes, "[Content_Types].xml");
    EXPECT_EQ(types.find("/word/vbaData.xml"), std::string::npos);
    EXPECT_NE(types.find("macroEnabled.main+xml"), std::string::npos);  // keeps its extension's type
    const std::string rels = Part(outcome.bytes, "word/_rels/document.xml.rels");
    EXPECT_EQ(rels.find("vbaProject"), std::string::npos);
    EXPECT_EQ(rels.find("vbaData"), std::string::npos);
    EXPECT_EQ(Part(outcome.bytes, "word/vbaProject.bin"), "<missing>");
    EXPECT_EQ(Part(outcome.bytes, "word/_rels/vbaProject.bin.rels"), "<missing>");
    EXPECT_EQ(Part(outcome.bytes, "word/document.xml"), Part(original, "word/document.xml"));
}

TEST(Clean, OoxmlMacroSheetsAndAutoOpenNamesGo) {
    analysis::Analyzer analyzer;
    const auto outcome = analyzer.Clean(MakePackage(
        {.kind = PackageKind::kExcel, .macroEnabledType = true, .macroSheet = true, .autoOpenName = true}));
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    const std::string wb = Part(outcome.bytes, "xl/workbook.xml");
    EXPECT_EQ(wb.find("Macro1"), std::string::npos);
    EXPECT_EQ(wb.find("Auto_Open"), std::string::npos);
    EXPECT_EQ(wb.find("definedNames"), std::string::npos);
    EXPECT_NE(wb.find("Sheet1"), std::string::npos);
    EXPECT_EQ(Part(outcome.bytes, "xl/macrosheets/sheet2.xml"), "<missing>");
    EXPECT_EQ(Part(outcome.bytes, "[Content_Types].xml").find("macrosheet"), std::string::npos);
}

TEST(Clean, ABareProjectFileCannotBeCleaned) {
    analysis::Analyzer analyzer;
    const auto outcome = analyzer.Clean(VbaProjectBin({kReplicator}));
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_TRUE(outcome.bytes.empty());
}

}  // namespace
