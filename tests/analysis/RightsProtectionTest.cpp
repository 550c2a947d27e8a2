// Rights-protected documents: the readable stub is not what the user's document holds, so the
// answer is "encrypted", and cleaning leaves the file alone.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "Cfb.h"
#include "CfbWriter.h"
#include "Documents.h"
#include "ProtectedDocuments.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

TEST(RightsProtection, ProtectedContentIsEncryptedNotClean) {
    analysis::Analyzer analyzer;
    for (ProtectedKind kind : {ProtectedKind::kWord, ProtectedKind::kExcel, ProtectedKind::kPackage}) {
        for (bool mapped : {true, false}) {
            const ByteVec doc = MakeRightsProtected(kind, mapped);
            const auto v = analyzer.Scan(doc);
            EXPECT_EQ(v.code, analysis::kScanEncrypted) << static_cast<int>(kind) << mapped << ": " << v.text;
            const auto c = analyzer.Clean(doc);
            EXPECT_EQ(c.code, analysis::kCleanEncrypted);
            EXPECT_TRUE(c.bytes.empty());
        }
    }
}

TEST(RightsProtection, OnlyStreamsThatExistAndAreTransformedCount) {
    analysis::Analyzer analyzer;
    const ByteVec plain = MakeDoc();
    auto doc = analysis::cfb::CompoundFile::Open(plain);
    ASSERT_TRUE(doc);
    auto withMap = [&](const ByteVec& map) {
        analysis::cfb::Node root;
        root.AddStream("WordDocument", *doc->ReadStream("WordDocument"));
        root.AddStream("1Table", *doc->ReadStream("1Table"));
        root.AddStream("Extra", ByteVec(100, 1));
        root.AddStorage("\x06" "DataSpaces").AddStream("DataSpaceMap", map);
        return analysis::cfb::WriteCompoundFile(root);
    };
    // A map naming a stream the file does not have protects nothing.
    EXPECT_EQ(analyzer.Scan(withMap(DataSpaceMap({{"Gone", "DRMEncryptedDataSpace"}}))).code, analysis::kScanClean);
    // The password data space is the password readers' business (they know it by EncryptionInfo).
    EXPECT_EQ(analyzer.Scan(withMap(DataSpaceMap({{"Extra", "StrongEncryptionDataSpace"}}))).code, analysis::kScanClean);
    EXPECT_EQ(analyzer.Scan(withMap(DataSpaceMap({{"Extra", "DRMEncryptedDataSpace"}}))).code, analysis::kScanEncrypted);
}

}  // namespace
