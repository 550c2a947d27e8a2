// Documents without a container: Excel 2.x-4.0 sheets, Word 1.x/2.0 files and web pages under an
// Office name are documents, not damage; what macros they can carry is reported, and a clean is
// refused with a reason since there is no container to rebuild.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "ByteReader.h"
#include "CleanRefusals.h"

using namespace tessaly;

namespace {

using analysis::ByteVec;

void Record(ByteVec& out, std::uint16_t id, const ByteVec& data) {
    analysis::PutU16(out, id);
    analysis::PutU16(out, static_cast<std::uint16_t>(data.size()));
    analysis::PutBytes(out, data);
}

// A single-sheet file of Excel 4.0: BOF (version, sheet type), a cell, EOF.
ByteVec Biff4(std::uint16_t sheetType, bool autoOpen) {
    ByteVec out;
    Record(out, 0x0409, {0x00, 0x00, static_cast<std::uint8_t>(sheetType), static_cast<std::uint8_t>(sheetType >> 8), 0, 0});
    if (autoOpen) Record(out, 0x0218, {0x20, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01});
    ByteVec label{0, 0, 0, 0, 0, 0, 11, 0};
    analysis::PutText(label, "notepad.exe");
    Record(out, 0x0204, label);
    Record(out, 0x000A, {});
    return out;
}

// A Word 2.0 file: identifier, flags, and the command table's place and length.
ByteVec Word2(std::uint16_t flags, std::uint16_t tableLength) {
    ByteVec out(0x300, 0);
    analysis::SetU16(out, 0, 0xA5DB);
    analysis::SetU16(out, 2, 0x2D);
    analysis::SetU16(out, 0x0A, flags);
    out[0xE8] = 0x80;  // the table at 0x280
    out[0xE9] = 0x02;
    analysis::SetU16(out, 0xEC, tableLength);
    return out;
}

ByteVec Text(std::string_view s) { return ByteVec(s.begin(), s.end()); }

TEST(LooseDocuments, OldExcelSheets) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(Biff4(0x0010, false)).code, analysis::kScanClean);
    const ByteVec macros = Biff4(0x0040, true);
    const auto v = analyzer.Scan(macros);
    EXPECT_EQ(v.code, analysis::kScanSuspected);
    EXPECT_EQ(v.text, "Excel 4.0 macros that start themselves");
    EXPECT_EQ(analyzer.Clean(macros).code, analysis::kCleanFailed);
    // A record running past the end is no sheet.
    ByteVec cut = Biff4(0x0010, false);
    cut.resize(cut.size() - 6);
    EXPECT_EQ(analyzer.Scan(cut).code, analysis::kScanDamaged);
}

TEST(LooseDocuments, OldWordFiles) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(Word2(0x0000, 2)).code, analysis::kScanClean);
    EXPECT_EQ(analyzer.Scan(Word2(0x0001, 2)).code, analysis::kScanClean);  // a template with an empty table
    const ByteVec withMacros = Word2(0x0001, 120);
    EXPECT_EQ(analyzer.Scan(withMacros).code, analysis::kScanSuspected);
    const auto refused = analyzer.Clean(withMacros);
    EXPECT_EQ(refused.code, analysis::kCleanFailed);
    EXPECT_EQ(refused.text, analysis::refusals::kNoContainer);
    EXPECT_EQ(analyzer.Scan(Word2(0x0100, 2)).code, analysis::kScanEncrypted);
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
