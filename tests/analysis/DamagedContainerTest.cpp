// Compound files with fields out of range or real damage: what can be read soundly is scanned, a
// crafted bad field cannot hide macros, and "damaged" is left for files with nothing else to say.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "Analyzer.h"
#include "Cfb.h"
#include "CfbFormat.h"
#include "CraftedDocuments.h"
#include "Documents.h"
#include "SampleSources.h"

using namespace tessaly;
using namespace tessaly::fixtures;
namespace cfb = tessaly::analysis::cfb;

namespace {

const VbaModule kReplicator{"Spreader", sources::kReplicator};
const VbaModule kHarmless{"Formatting", sources::kHarmless};

// Replaces the tree link that leads to `path` with `value`, so the entry is no longer reached.
ByteVec WithLinkTo(const ByteVec& file, std::string_view path, std::uint32_t value) {
    const auto parsed = cfb::CompoundFile::Open(file).value();
    const std::uint32_t target = parsed.Find(path).value();
    ByteVec out = file;
    for (std::uint32_t i = 0; i < parsed.entries().size(); ++i) {
        const cfb::Entry& e = parsed.entries()[i];
        const std::uint64_t at = DirectoryEntryOffset(file, i);
        if (e.left == target) analysis::SetField(out, cfb::direntry::kLeftSibling, value, at);
        if (e.right == target) analysis::SetField(out, cfb::direntry::kRightSibling, value, at);
        if (e.child == target) analysis::SetField(out, cfb::direntry::kChild, value, at);
    }
    return out;
}

// Cuts the chain of the stream at `path` after its first sector.
ByteVec WithChainCut(const ByteVec& file, std::string_view path) {
    const auto parsed = cfb::CompoundFile::Open(file).value();
    const std::uint32_t start = parsed.entries()[parsed.Find(path).value()].startSector;
    const std::uint32_t fat0 = analysis::ReadField(file, cfb::header::Difat(0)).value();
    ByteVec out = file;
    analysis::SetField(out, analysis::Field<std::uint32_t>{start * 4}, cfb::kFreeSector, cfb::SectorOffset(fat0, 512));
    return out;
}

TEST(DamagedContainer, AnUnallocatedEntryInTheTreeIsPassedOver) {
    analysis::Analyzer analyzer;
    const ByteVec plain = WithSiblingToUnallocatedEntry(MakeDoc());
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(analyzer.Scan(plain).code, analysis::kScanClean) << analyzer.Scan(plain).text;
    const ByteVec infected = WithSiblingToUnallocatedEntry(MakeDoc({.modules = {kReplicator}}));
    EXPECT_EQ(analyzer.Scan(infected).code, analysis::kScanInfected);
    const auto outcome = analyzer.Clean(infected);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
}

TEST(DamagedContainer, AnIndexPastTheDirectoryIsReadAsOfficeReadsIt) {
    analysis::Analyzer analyzer;
    // The link to the WordDocument stream points far past the directory: Office drops that link.
    const ByteVec clean = WithLinkTo(MakeDoc(), "1Table", 0x00ABCDEF);
    EXPECT_EQ(analyzer.Scan(clean).code, analysis::kScanClean) << analyzer.Scan(clean).text;
    const ByteVec infected = WithLinkTo(MakeDoc({.modules = {kReplicator}}), "1Table", 0x00ABCDEF);
    EXPECT_EQ(analyzer.Scan(infected).code, analysis::kScanInfected);
    // Nothing was damaged, so the clean goes ahead and keeps what Office sees.
    const auto outcome = analyzer.Clean(infected);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
}

TEST(DamagedContainer, ABrokenLinkCannotHideTheMacroStorage) {
    analysis::Analyzer analyzer;
    for (std::uint32_t link : {0x00ABCDEFu, cfb::kNoStream}) {
        const ByteVec hidden = WithLinkTo(MakeDoc({.modules = {kReplicator}}), "Macros", link);
        const auto v = analyzer.Scan(hidden);
        EXPECT_EQ(v.code, analysis::kScanInfected) << std::hex << link << ": " << v.text;
        EXPECT_EQ(v.text, "W97M.Replicator.NormalTemplate");
    }
    // The same with the VBA storage itself cut loose from its project storage.
    const ByteVec lostVba = WithLinkTo(MakeDoc({.modules = {kHarmless}}), "Macros/VBA", 0x00ABCDEF);
    EXPECT_EQ(analyzer.Scan(lostVba).code, analysis::kScanSuspected) << analyzer.Scan(lostVba).text;
}

TEST(DamagedContainer, DamageWithMacrosIsSuspectedAndWithoutThemDamaged) {
    analysis::Analyzer analyzer;
    const ByteVec noMacros = WithChainCut(MakeDoc(), "WordDocument");
    EXPECT_EQ(analyzer.Scan(noMacros).code, analysis::kScanDamaged);
    EXPECT_EQ(analyzer.Clean(noMacros).code, analysis::kCleanDamaged);
    const ByteVec harmless = WithChainCut(MakeDoc({.modules = {kHarmless}}), "WordDocument");
    EXPECT_EQ(analyzer.Scan(harmless).code, analysis::kScanSuspected) << analyzer.Scan(harmless).text;
    const ByteVec virus = WithChainCut(MakeDoc({.modules = {kReplicator}}), "WordDocument");
    EXPECT_EQ(analyzer.Scan(virus).code, analysis::kScanInfected);
    // A damaged file is never rewritten.
    EXPECT_EQ(analyzer.Clean(virus).code, analysis::kCleanDamaged);
}

TEST(DamagedContainer, StreamsReadInPiecesMatchTheirCopies) {
    // Our writer lays streams out contiguously, so fragment one by hand: swap its second and
    // third sectors on disk and in the chain.
    cfb::Node root;
    ByteVec data(512 * 10);  // above the mini stream cutoff
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 512);
    root.AddStream("S", data);
    ByteVec bytes = cfb::WriteCompoundFile(root);
    const std::uint32_t a = cfb::CompoundFile::Open(bytes)->entries()[1].startSector;
    const std::uint64_t fatAt = cfb::SectorOffset(analysis::ReadField(bytes, cfb::header::Difat(0)).value(), 512);
    auto link = [&](std::uint32_t from, std::uint32_t to) {
        analysis::SetField(bytes, analysis::Field<std::uint32_t>{from * 4}, to, fatAt);
    };
    link(a, a + 2);
    link(a + 2, a + 1);
    link(a + 1, a + 3);
    std::swap_ranges(bytes.begin() + static_cast<std::ptrdiff_t>(cfb::SectorOffset(a + 1, 512)),
                     bytes.begin() + static_cast<std::ptrdiff_t>(cfb::SectorOffset(a + 2, 512)),
                     bytes.begin() + static_cast<std::ptrdiff_t>(cfb::SectorOffset(a + 2, 512)));
    auto file = cfb::CompoundFile::Open(bytes);
    ASSERT_TRUE(file);
    const auto view = file->OpenStream(*file->Find("S"));
    ASSERT_TRUE(view && view->complete());
    ByteVec joined;
    std::size_t pieces = 0;
    ASSERT_TRUE(view->ForEachPiece([&](analysis::Bytes piece) {
        joined.insert(joined.end(), piece.begin(), piece.end());
        ++pieces;
        return true;
    }));
    EXPECT_EQ(joined, data);
    EXPECT_EQ(pieces, 4u);  // sector 1, sector 3, sector 2, sectors 4-10
    EXPECT_EQ(file->ReadStream("S"), data);
    ByteVec scratch;
    for (std::size_t at : {500u, 1000u, 1530u}) {
        const analysis::Bytes across = view->View(at, 30, scratch);
        EXPECT_EQ(ByteVec(across.begin(), across.end()), ByteVec(data.begin() + at, data.begin() + at + 30)) << at;
    }
    EXPECT_TRUE(view->View(data.size(), 1, scratch).empty());
}

ByteVec CorpusFile(const char* name) {
    std::ifstream in(std::string(TESSALY_CORPUS_DIR) + "/" + name, std::ios::binary);
    return ByteVec((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(DamagedContainer, RealFilesOfBothKinds) {
    analysis::Analyzer analyzer;
    // Claims 109 FAT sectors in a file of eight: the one it needs is there, so it is read.
    const ByteVec overshoot = CorpusFile("sjs-016.xls");
    ASSERT_FALSE(overshoot.empty());
    auto file = cfb::CompoundFile::Open(overshoot);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->damage().empty());
    EXPECT_EQ(analyzer.Scan(overshoot).code, analysis::kScanClean);
    // Streams that end early and an entry of no known type, and no macros: damaged.
    const ByteVec damaged = CorpusFile("lxls-002.xls");
    ASSERT_FALSE(damaged.empty());
    EXPECT_EQ(analyzer.Scan(damaged).code, analysis::kScanDamaged);
    EXPECT_EQ(analyzer.Clean(damaged).code, analysis::kCleanDamaged);
}

}  // namespace
