// Documents without a container: Excel 2.x-4.0 sheets, Word 1.x/2.0 files and web pages under an
// Office name are documents, not damage; what macros they can carry is reported, and a clean is
// refused with a reason since there is no container to rebuild.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "ByteReader.h"
#include "CleanRefusals.h"
#include "LooseDocuments.h"

using namespace tessaly;

namespace {

using analysis::ByteVec;
using fixtures::MakeBiff4Sheet;
using fixtures::MakeWord2;

ByteVec Text(std::string_view s) { return ByteVec(s.begin(), s.end()); }

TEST(LooseDocuments, OldExcelSheets) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(MakeBiff4Sheet(0x0010, false)).code, analysis::kScanClean);
    const ByteVec macros = MakeBiff4Sheet(0x0040, true);
    const auto v = analyzer.Scan(macros);
    EXPECT_EQ(v.code, analysis::kScanSuspected);
    EXPECT_EQ(v.text, "Excel 4.0 macros that start themselves");
    EXPECT_EQ(analyzer.Clean(macros).code, analysis::kCleanFailed);
    // A record running past the end is no sheet.
    ByteVec cut = MakeBiff4Sheet(0x0010, false);
    cut.resize(cut.size() - 6);
    EXPECT_EQ(analyzer.Scan(cut).code, analysis::kScanDamaged);
}

TEST(LooseDocuments, OldWordFiles) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(MakeWord2(0x0000, 2)).code, analysis::kScanClean);
    EXPECT_EQ(analyzer.Scan(MakeWord2(0x0001, 2)).code, analysis::kScanClean);  // a template with an empty table
    const ByteVec withMacros = MakeWord2(0x0001, 120);
    EXPECT_EQ(analyzer.Scan(withMacros).code, analysis::kScanSuspected);
    const auto refused = analyzer.Clean(withMacros);
    EXPECT_EQ(refused.code, analysis::kCleanFailed);
    EXPECT_EQ(refused.text, analysis::refusals::kNoContainer);
    EXPECT_EQ(analyzer.Scan(MakeWord2(0x0100, 2)).code, analysis::kScanEncrypted);
}

TEST(LooseDocuments, WebPagesUnderAnOfficeName) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(Text("  \n<!DOCTYPE html>\n<html><body>Report</body></html>")).code, analysis::kScanClean);
    EXPECT_EQ(analyzer.Scan(Text("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><body>x</body></html>")).code,
              analysis::kScanClean);
    const ByteVec archive = Text("MIME-Version: 1.0\r\nContent-Type: multipart/related\r\n\r\n"
                                 "Content-Location: file:///C:/x_files/editdata.mso\r\n\r\nQWN0aXZlTWltZQCwAAAA\r\n");
    EXPECT_EQ(analyzer.Scan(archive).code, analysis::kScanSuspected);
    EXPECT_EQ(analyzer.Scan(Text("just some words, no markup")).code, analysis::kScanDamaged);
}

}  // namespace
