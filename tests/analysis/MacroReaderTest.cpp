// MS-OVBA decompression, the dir stream, signatures and their normalisation.
#include <gtest/gtest.h>

#include <random>

#include "Analyzer.h"
#include "Documents.h"
#include "OvbaCompression.h"
#include "OvbaCompressor.h"
#include "Signatures.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

TEST(Ovba, RoundTripsRepetitiveRandomAndRawChunkData) {
    std::mt19937 rng(7);
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "Sub Line" + std::to_string(rng() % 50) + "()\r\n";
    ByteVec random(9000);
    for (auto& b : random) b = static_cast<std::uint8_t>(rng());
    for (const ByteVec& data : {ByteVec(text.begin(), text.end()), random, ByteVec(12288, 'a'), ByteVec{}}) {
        for (bool raw : {false, true}) {
            auto out = analysis::ovba::Decompress(OvbaCompress(data, raw));
            ASSERT_TRUE(out);
            EXPECT_EQ(*out, data);
        }
    }
}

TEST(Ovba, CopyTokensBeforeTheChunkStartAreRejected) {
    // Signature, chunk header (compressed, 3 bytes of data), flags with a copy token first.
    const ByteVec bad{0x01, 0x02, 0xB0, 0x01, 0x00, 0x10};
    EXPECT_FALSE(analysis::ovba::Decompress(bad));
    EXPECT_FALSE(analysis::ovba::Decompress(ByteVec{0x02, 0x00}));
    // A raw chunk header with fewer than 4096 bytes behind it.
    EXPECT_FALSE(analysis::ovba::Decompress(ByteVec{0x01, 0xFF, 0x3F, 'a', 'b'}));
}

TEST(Signatures, FormatAndMatching) {
    using Target = analysis::Signature::Target;
    const auto set = analysis::SignatureSet::Parse(
        "# comment\n"
        "[A.All]\nall = foo.bar\nall = baz\n"
        "[B.Any]\nany = one\nany = two\nnone = never\n"
        "[C.Xlm]\ntarget = xlm\nall = exec(\n"
        "[D.WordBasic]\ntarget = wordbasic\nall = sub aaazao\n"
        "[E.OnOpen]\nstart = auto\nall = urldownloadtofile\n"
        "[Empty]\n"
        "stray = line\n");
    EXPECT_EQ(set.size(), 5u);
    EXPECT_EQ(set.Match("x foo.bar y baz", Target::kVba, false), "A.All");
    EXPECT_EQ(set.Match("foo.bar only", Target::kVba, false), std::nullopt);
    EXPECT_EQ(set.Match("two", Target::kVba, false), "B.Any");
    EXPECT_EQ(set.Match("two never", Target::kVba, false), std::nullopt);
    EXPECT_EQ(set.Match("exec(", Target::kVba, false), std::nullopt);
    EXPECT_EQ(set.Match("exec(", Target::kXlm, false), "C.Xlm");
    EXPECT_EQ(set.Match("sub aaazao", Target::kVba, false), std::nullopt);
    EXPECT_EQ(set.Match("sub aaazao", Target::kWordBasic, false), "D.WordBasic");
    // A behaviour that ordinary macros share names a virus only in code that starts itself.
    EXPECT_EQ(set.Match("urldownloadtofile", Target::kVba, false), std::nullopt);
    EXPECT_EQ(set.Match("urldownloadtofile", Target::kVba, true), "E.OnOpen");
}

TEST(Signatures, EveryLineEndingSeparatesLines) {
    using Target = analysis::Signature::Target;
    for (const char* eol : {"\r", "\n", "\r\n"}) {
        const std::string text = std::string("[A]") + eol + "all = one" + eol + "[B]" + eol + "all = two" + eol;
        const auto set = analysis::SignatureSet::Parse(text);
        EXPECT_EQ(set.size(), 2u) << static_cast<int>(eol[0]);
        EXPECT_EQ(set.Match("two", Target::kVba, false), "B");
    }
}

TEST(Signatures, NormalisationJoinsContinuationsAndCase) {
    EXPECT_EQ(analysis::NormaliseSource("Set X = NormalTemplate. _\r\n   VBProject"), "set x = normaltemplate. vbproject");
    EXPECT_EQ(analysis::NormaliseSource("  A\t\tB  \r\n"), "a b");
}

TEST(Signatures, ShippedSetLoadsAndAnEmptyTextFallsBackToIt) {
    EXPECT_GE(analysis::SignatureSet::Builtin().size(), 10u);
    analysis::Analyzer analyzer("not a signature file");
    const VbaModule replicator{"Spreader", "Sub AutoExec()\r\nNormalTemplate.VBProject.VBComponents(1).CodeModule.AddFromString \"'\"\r\nEnd Sub\r\n"};
    EXPECT_EQ(analyzer.Scan(MakeDoc({.modules = {replicator}})).text, "W97M.Replicator.NormalTemplate");
}

TEST(DirStream, MalformedDirMakesTheProjectIncomplete) {
    analysis::Analyzer analyzer;
    ByteVec doc = MakeDoc({.modules = {{"M", "Attribute VB_Name = \"M\"\r\n"}}});
    // Find the compressed dir stream in the file and break its signature byte.
    const ByteVec dir = DirStream({{"M", "Attribute VB_Name = \"M\"\r\n"}});
    auto at = std::search(doc.begin(), doc.end(), dir.begin(), dir.end());
    ASSERT_NE(at, doc.end());
    *at = 0x07;
    const auto v = analyzer.Scan(doc);
    EXPECT_EQ(v.code, analysis::kScanSuspected) << v.text;
}

}  // namespace
