// PowerPoint 97-2003: the VBA project inside the "PowerPoint Document" stream is found, named
// and removed, with every other persist object of the presentation unchanged.
#include <gtest/gtest.h>

#include <algorithm>

#include "Analyzer.h"
#include "Cfb.h"
#include "CraftedDocuments.h"
#include "CleanRefusals.h"
#include "Documents.h"
#include "LeakCheck.h"
#include "Ppt.h"
#include "PptDocuments.h"
#include "SampleSources.h"
#include "ZlibInflate.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

const VbaModule kHarmless{"Formatting", sources::kHarmless};
const VbaModule kReplicator{"Spreader", sources::kReplicator};

bool Contains(const ByteVec& haystack, const ByteVec& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// Bytes of the compressed project as they sit in the presentation's stream.
ByteVec ProjectBytes(const ByteVec& presentation) {
    const auto objects = LiveObjects(presentation);
    const auto it = objects.find(2);
    if (it == objects.end() || it->second.size() < 80) return {};
    return ByteVec(it->second.begin() + 40, it->second.begin() + 80);
}

TEST(Presentation, TheProjectIsFoundCompressedOrNot) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(MakePresentation()).code, analysis::kScanClean);
    EXPECT_EQ(analyzer.Scan(MakePresentation({.modules = {kHarmless}})).code, analysis::kScanSuspected);
    const auto virus = analyzer.Scan(MakePresentation({.modules = {kReplicator}}));
    EXPECT_EQ(virus.code, analysis::kScanInfected);
    EXPECT_EQ(virus.text, "W97M.Replicator.NormalTemplate");
    EXPECT_EQ(analyzer.Scan(MakePresentation({.modules = {kReplicator}, .compressedProject = false})).code,
              analysis::kScanInfected);
    // An empty project (only attribute lines) is no alarm, as elsewhere.
    const VbaModule empty{"Module1", "Attribute VB_Name = \"Module1\"\r\n"};
    EXPECT_EQ(analyzer.Scan(MakePresentation({.modules = {empty}})).code, analysis::kScanClean);
}

TEST(Presentation, AProjectThatCannotBeReadIsSuspected) {
    analysis::Analyzer analyzer;
    const auto v = analyzer.Scan(MakePresentation({.modules = {kHarmless}, .breakProjectStorage = true}));
    EXPECT_EQ(v.code, analysis::kScanSuspected) << v.text;
}

TEST(Presentation, StoragesThatInflateHugelyShareOneBudget) {
    analysis::Analyzer analyzer;
    // Twelve storages of 16 MiB each: the first ones are read, the rest are not, and the scan ends.
    const ByteVec doc = MakePresentation({.modules = {kHarmless}, .inflatingStorages = 12});
    EXPECT_LT(doc.size(), 1u << 20);
    EXPECT_EQ(analyzer.Scan(doc).code, analysis::kScanSuspected);
}

TEST(Presentation, AnInflateAllowanceUsedUpExactlyLosesNoMemory) {
    // Four storages of 16 MiB use the allowance up to the byte; the fifth finds none left.
    analysis::Analyzer analyzer;
    const ByteVec doc = MakePresentation({.inflatingStorages = 5});
    for (int i = 0; i < 3; ++i) EXPECT_NE(analyzer.Scan(doc).code, analysis::kScanEngineError);
    const ByteVec packed = {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};  // an empty zlib stream
    EXPECT_FALSE(analysis::InflateZlib(packed, 0, 0));
    EXPECT_TRUE(analysis::InflateZlib(packed, 0, 1));
    EXPECT_FALSE(testfiles::LeaksFound());
}

TEST(Presentation, TheVbaInformationIsReadInsideItsContainer) {
    // The atom after a document container that ends in an empty VBA information container is no
    // part of it: the rewrite of the container never reaches it.
    analysis::Analyzer analyzer;
    const ByteVec doc = MakePresentation({.modules = {kReplicator}, .vbaAtomPastDocument = true});
    const auto file = analysis::cfb::CompoundFile::Open(doc);
    const ByteVec stream = *file->ReadStream(std::string(analysis::ppt::kDocumentStream));
    const std::size_t documentEnd = analysis::ppt::kHeaderSize + analysis::ppt::ReadHeader(stream, 0)->length;
    for (const auto& place : analysis::ppt::FindVbaInfo(stream, 0)) EXPECT_LT(place.atomOffset, documentEnd);
    const auto outcome = analyzer.Clean(doc);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
}

TEST(Presentation, AStreamNamedMacrosHoldsNoProjectAndStopsNoClean) {
    analysis::Analyzer analyzer;
    const ByteVec withStream = WithMacrosStream(MakePresentation({.modules = {kReplicator}}));
    EXPECT_EQ(analyzer.Scan(withStream).code, analysis::kScanInfected);
    const auto outcome = analyzer.Clean(withStream);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
}

TEST(Presentation, EncryptedPresentationsAreEncrypted) {
    analysis::Analyzer analyzer;
    const ByteVec encrypted = MakePresentation({.modules = {kReplicator}, .encrypted = true});
    EXPECT_EQ(analyzer.Scan(encrypted).code, analysis::kScanEncrypted);
    EXPECT_EQ(analyzer.Clean(encrypted).code, analysis::kCleanEncrypted);
}

TEST(Presentation, MacrosOfEmbeddedDocumentsCountButAreNotCutOut) {
    analysis::Analyzer analyzer;
    const ByteVec withDoc = MakePresentation({.embedded = MakeDoc({.modules = {kReplicator}})});
    EXPECT_EQ(analyzer.Scan(withDoc).code, analysis::kScanInfected);
    const auto outcome = analyzer.Clean(withDoc);
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_EQ(outcome.text, analysis::refusals::kEmbeddedMacros);
    EXPECT_TRUE(outcome.bytes.empty());
    // An embedded document without macros is just content.
    EXPECT_EQ(analyzer.Scan(MakePresentation({.embedded = MakeDoc()})).code, analysis::kScanClean);
}

TEST(Presentation, CleaningRemovesTheProjectAndKeepsEveryOtherObject) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakePresentation({.modules = {kReplicator}, .embedded = MakeDoc()});
    const auto outcome = analyzer.Clean(original);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(outcome.text, "W97M.Replicator.NormalTemplate");
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
    const ByteVec project = ProjectBytes(original);
    ASSERT_FALSE(project.empty());
    EXPECT_FALSE(Contains(outcome.bytes, project));
    const auto before = LiveObjects(original);
    const auto after = LiveObjects(outcome.bytes);
    EXPECT_EQ(after.count(2), 0u);                      // the project's persist id is gone
    EXPECT_EQ(after.at(3), before.at(3));               // the embedded object is untouched
    EXPECT_EQ(after.at(1), LiveObjects(MakePresentation({.embedded = MakeDoc()})).at(1));  // no VBA information
    EXPECT_TRUE(analysis::cfb::CompoundFile::Open(outcome.bytes));
}

TEST(Presentation, AProjectAddedByALaterEditIsRemovedWithTheStaleCopies) {
    analysis::Analyzer analyzer;
    const ByteVec plain = MakePresentation({.embedded = MakeDoc()});
    // Two fast saves: the first adds a virus, the second replaces it with a harmless project. The
    // virus's storage stays in the stream and is still found.
    const ByteVec twice = WithVbaProject(WithVbaProject(plain, {kReplicator}), {kHarmless});
    EXPECT_EQ(analyzer.Scan(WithVbaProject(plain, {kHarmless})).code, analysis::kScanSuspected);
    EXPECT_EQ(analyzer.Scan(twice).code, analysis::kScanInfected);
    const auto outcome = analyzer.Clean(twice);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
    // The presentation is what it was before any project was added.
    EXPECT_EQ(LiveObjects(outcome.bytes), LiveObjects(plain));
}

}  // namespace
