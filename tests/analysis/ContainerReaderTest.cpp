// Compound file and ZIP readers on good, broken and hostile containers.
#include <gtest/gtest.h>

#include "Cfb.h"
#include "CfbWriter.h"
#include "Documents.h"
#include "Zip.h"
#include "ZipWriter.h"

using namespace tessaly;
using namespace tessaly::fixtures;
namespace cfb = tessaly::analysis::cfb;
namespace zip = tessaly::analysis::zip;

namespace {

TEST(CompoundFile, ReadsSmallAndLargeStreamsAndStorages) {
    analysis::cfb::Node root;
    root.AddStream("small", ByteVec(100, 1));
    root.AddStream("exactly-cutoff", ByteVec(4096, 2));
    root.AddStorage("sub").AddStream("inner", ByteVec(5000, 3));
    for (int i = 0; i < 20; ++i) root.AddStream("s" + std::to_string(i), ByteVec(static_cast<std::size_t>(i), 4));
    const ByteVec bytes = analysis::cfb::WriteCompoundFile(root);  // the reader is a view over these
    auto file = analysis::cfb::CompoundFile::Open(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->ReadStream("small"), ByteVec(100, 1));
    EXPECT_EQ(file->ReadStream("EXACTLY-CUTOFF"), ByteVec(4096, 2));
    EXPECT_EQ(file->ReadStream("sub/inner"), ByteVec(5000, 3));
    EXPECT_EQ(file->ReadStream("s19"), ByteVec(19, 4));
    EXPECT_EQ(file->ReadStream("s0"), ByteVec{});
    EXPECT_FALSE(file->ReadStream("sub"));
}

TEST(CompoundFile, FollowsTheDifatBeyondTheHeader) {
    // More than 109 FAT sectors: the FAT list continues in DIFAT sectors.
    analysis::cfb::Node root;
    ByteVec big(115 * 128 * 512, 0);
    for (std::size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<std::uint8_t>(i >> 12);
    root.AddStream("big", big);
    const ByteVec bytes = analysis::cfb::WriteCompoundFile(root);
    EXPECT_NE(analysis::ReadField(bytes, cfb::header::kDifatSectorCount).value(), 0u);
    auto file = analysis::cfb::CompoundFile::Open(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->ReadStream("big"), big);
}

TEST(CompoundFile, ReadsVersion4Files) {
    analysis::cfb::Node root;
    root.AddStream("small", ByteVec(300, 5));
    root.AddStorage("sub").AddStream("large", ByteVec(70000, 6));
    const ByteVec bytes = analysis::cfb::WriteCompoundFile(root, 4);
    EXPECT_EQ(analysis::ReadField(bytes, cfb::header::kMajorVersion).value(), 4);
    auto file = analysis::cfb::CompoundFile::Open(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->majorVersion(), 4);
    EXPECT_EQ(file->ReadStream("small"), ByteVec(300, 5));
    EXPECT_EQ(file->ReadStream("sub/large"), ByteVec(70000, 6));
}

TEST(CompoundFile, LoopsAndCyclesAreDamageReadAroundNotFollowed) {
    const ByteVec good = MakeDoc();
    for (const ByteVec& broken : {WithFatLoop(good), WithDirectoryCycle(good)}) {
        auto file = analysis::cfb::CompoundFile::Open(broken);
        ASSERT_TRUE(file);
        EXPECT_FALSE(file->damage().empty());
    }
}

TEST(CompoundFile, OutOfRangeFieldsOfficeToleratesAreRepaired) {
    const ByteVec good = MakeDoc();
    ByteVec hugeFatCount = good;
    analysis::SetField(hugeFatCount, cfb::header::kFatSectorCount, 0xFFFFu);
    // A sibling index far past the directory's end (an unused slot's own links stay as they are).
    ByteVec badSibling = good;
    const auto dirAt = cfb::SectorOffset(analysis::ReadField(good, cfb::header::kFirstDirectorySector).value(), 512);
    analysis::SetField(badSibling, cfb::direntry::kLeftSibling, 0x00ABCDEFu, dirAt + cfb::direntry::kSize);
    ByteVec badOrder = good;
    analysis::SetField(badOrder, cfb::header::kByteOrder, std::uint16_t{0x1234});
    for (const ByteVec& odd : {hugeFatCount, badSibling, badOrder}) {
        auto file = analysis::cfb::CompoundFile::Open(odd);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->damage().empty()) << file->damage().front();
        EXPECT_FALSE(file->repairs().empty());
        EXPECT_TRUE(file->Find("WordDocument"));
    }
}

TEST(CompoundFile, FilesWithoutAUsableDirectoryFailToOpen) {
    const ByteVec good = MakeDoc();
    std::string error;
    ByteVec badShift = good;
    analysis::SetField(badShift, cfb::header::kSectorShift, std::uint16_t{10});
    EXPECT_FALSE(analysis::cfb::CompoundFile::Open(badShift, &error));
    ByteVec dirOutOfRange = good;
    analysis::SetField(dirOutOfRange, cfb::header::kFirstDirectorySector, 0xFFF0u);
    EXPECT_FALSE(analysis::cfb::CompoundFile::Open(dirOutOfRange, &error));
    EXPECT_EQ(error, "directory unreadable");
}

TEST(CompoundFile, EveryTruncationEndsAsFailureNotCrash) {
    const ByteVec good = MakeDoc({.modules = {{"M", "Attribute VB_Name = \"M\"\r\nSub A()\r\nEnd Sub\r\n"}}});
    for (std::size_t keep = 0; keep < good.size(); keep += 97) {
        const ByteVec cut = Truncated(good, keep);
        auto file = analysis::cfb::CompoundFile::Open(cut);
        if (!file) continue;
        for (std::uint32_t i = 0; i < file->entries().size(); ++i) (void)file->ReadStream(i);
    }
}

TEST(Zip, ReadsDeflatedStoredAndZip64Entries) {
    analysis::zip::Writer w;
    const std::string text(10000, 'x');
    w.AddDeflated("a.xml", ByteVec(text.begin(), text.end()));
    w.AddStored("b.bin", ByteVec{1, 2, 3});
    w.AddDeflated("empty", ByteVec{});
    for (bool zip64 : {false, true}) {
        const ByteVec bytes = w.Finish(zip64);  // the archive is a view over these
        auto archive = analysis::zip::Archive::Open(bytes);
        ASSERT_TRUE(archive) << zip64;
        std::string error;
        EXPECT_EQ(archive->Read(*archive->Find("A.XML"), &error), ByteVec(text.begin(), text.end())) << error;
        EXPECT_EQ(archive->Read("b.bin"), (ByteVec{1, 2, 3}));
        EXPECT_EQ(archive->Read("empty"), ByteVec{});
    }
}

TEST(Zip, BombsAndLiesAreRefused) {
    analysis::zip::Writer w;
    w.AddDeflated("bomb", ByteVec(8u * 1024 * 1024, 0));  // compresses about 1000:1
    ByteVec bytes = w.Finish();
    auto archive = analysis::zip::Archive::Open(bytes);
    ASSERT_TRUE(archive);
    std::string error;
    EXPECT_FALSE(archive->Read(0, &error));
    EXPECT_NE(error.find("limits"), std::string::npos) << error;

    analysis::zip::Writer small;
    small.AddDeflated("x", ByteVec(1000, 7));
    ByteVec lie = small.Finish();
    // Central directory claims a smaller uncompressed size than the data inflates to.
    const std::size_t central = lie.size() - zip::end::kSize - (zip::central::kSize + 1);
    ASSERT_EQ(analysis::ReadField(lie, zip::central::kSignatureField, central), zip::central::kSignature);
    analysis::SetField(lie, zip::central::kUncompressedSize, 10u, central);
    auto liar = analysis::zip::Archive::Open(lie);
    ASSERT_TRUE(liar);
    EXPECT_FALSE(liar->Read(0));
}

TEST(Zip, MissingEndRecordOrBadOffsetsFail) {
    ByteVec bytes = MakePackage();
    EXPECT_FALSE(analysis::zip::Archive::Open(Truncated(bytes, bytes.size() - 10)));
    ByteVec badOffset = bytes;
    analysis::SetField(badOffset, zip::end::kDirectoryOffset, 0x00FFFFFFu, badOffset.size() - zip::end::kSize);
    EXPECT_FALSE(analysis::zip::Archive::Open(badOffset));
}

}  // namespace
