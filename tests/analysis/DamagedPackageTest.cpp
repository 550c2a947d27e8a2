// Every member of a package is checked, not only the parts that can hold macros: its local header
// against its directory entry, its data against its CRC-32, its bytes against every other member's.
// A damaged package is never called sound, and never cleaned with the damage copied into the result.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "DamagedPackages.h"
#include "SampleSources.h"
#include "Zip.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

const VbaModule kHarmless{"Formatting", sources::kHarmless};

std::string Describe(std::string_view part, MemberDamage how) {
    return std::string(part) + " damage " + std::to_string(static_cast<int>(how));
}

TEST(DamagedPackage, EveryMemberIsChecked) {
    analysis::Analyzer analyzer;
    for (const PackageKind kind : {PackageKind::kWord, PackageKind::kExcel}) {
        const ByteVec plain = MakePackage({.kind = kind});
        const ByteVec macros = MakePackage({.kind = kind, .modules = {kHarmless}});
        const std::string mainPart = kind == PackageKind::kWord ? "word/document.xml" : "xl/worksheets/sheet1.xml";
        for (const std::string& part : {std::string("_rels/.rels"), mainPart}) {
            for (const MemberDamage how : {MemberDamage::kCrc, MemberDamage::kData, MemberDamage::kLocalName,
                                           MemberDamage::kLocalSizes, MemberDamage::kLocalMethod}) {
                EXPECT_EQ(analyzer.Scan(WithDamagedMember(plain, part, how)).code, analysis::kScanDamaged) << Describe(part, how);
                const ByteVec damaged = WithDamagedMember(macros, part, how);
                EXPECT_EQ(analyzer.Scan(damaged).code, analysis::kScanSuspected) << Describe(part, how);
                EXPECT_EQ(analyzer.Clean(damaged).code, analysis::kCleanDamaged) << Describe(part, how);
            }
        }
    }
}

TEST(DamagedPackage, APartInsideAnotherPartsBytesIsDamage) {
    analysis::Analyzer analyzer;
    const ByteVec hidden = WithMemberInsideAnother(MakePackage({.modules = {kHarmless}}), "word/document.xml");
    EXPECT_EQ(analyzer.Scan(hidden).code, analysis::kScanSuspected);
    EXPECT_EQ(analyzer.Clean(hidden).code, analysis::kCleanDamaged);
    EXPECT_EQ(analyzer.Scan(WithMemberInsideAnother(MakePackage(), "word/document.xml")).code, analysis::kScanDamaged);
}

TEST(DamagedPackage, SoundLayoutsStaySound) {
    analysis::Analyzer analyzer;
    const ByteVec described = WithDataDescriptors(MakePackage({.kind = PackageKind::kExcel}));
    EXPECT_EQ(analyzer.Scan(described).code, analysis::kScanClean);
    EXPECT_EQ(analyzer.Scan(MakePackage({.zip64 = true})).code, analysis::kScanClean);
    // The clean of a package with descriptors writes sizes in the local headers and no descriptor.
    const auto outcome = analyzer.Clean(WithDataDescriptors(MakePackage({.modules = {kHarmless}})));
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    const auto cleaned = analysis::zip::Archive::Open(outcome.bytes);
    ASSERT_TRUE(cleaned);
    for (const auto& e : cleaned->entries()) EXPECT_EQ(e.flags & analysis::zip::kFlagDataDescriptor, 0) << e.name;
}

}  // namespace
