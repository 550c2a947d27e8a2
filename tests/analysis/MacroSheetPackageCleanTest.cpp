// Removing Excel 4.0 macro sheets from packages: in .xlsb the workbook part's sheet list, external
// references, names and book view are renumbered like the .xls records; in .xlsx the sheet-level
// names and the workbook view follow their sheets. The calculation chain goes with the sheets.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "CorpusFiles.h"
#include "DefaultPassword.h"
#include "Documents.h"
#include "EncryptedDocuments.h"
#include "LibreOffice.h"
#include "MacroSheetPackages.h"
#include "XlsbRecords.h"
#include "Zip.h"
#include "ZipWriter.h"

using namespace tessaly;
using namespace tessaly::fixtures;
using analysis::ByteReader;

namespace {

ByteVec PartOf(const ByteVec& package, std::string_view name) {
    auto archive = analysis::zip::Archive::Open(package);
    auto data = archive ? archive->Read(name) : std::nullopt;
    return data.value_or(ByteVec{});
}

struct BinaryWorkbook {
    std::vector<std::pair<std::string, std::uint32_t>> sheets;  // name, visibility
    std::vector<std::pair<int, int>> xtis;
    std::vector<std::pair<std::string, std::uint32_t>> names;  // name, sheet (0xFFFFFFFF: workbook)
    std::uint32_t activeTab = 0;
};

BinaryWorkbook ReadBinaryWorkbook(const ByteVec& part) {
    BinaryWorkbook wb;
    auto records = analysis::xlsb::ListRecords(part);
    if (!records) return wb;
    for (const auto& rec : *records) {
        ByteReader r(analysis::Bytes(part).subspan(rec.dataOffset, rec.size));
        if (rec.type == 0x009C) {
            const std::uint32_t visibility = r.u32();
            r.u32();
            analysis::xlsb::ReadWideString(r);
            wb.sheets.emplace_back(analysis::xlsb::ReadWideString(r).value_or("?"), visibility);
        } else if (rec.type == 0x016A) {
            const std::uint32_t count = r.u32();
            for (std::uint32_t k = 0; k < count; ++k) {
                r.u32();
                const auto first = static_cast<std::int32_t>(r.u32());
                wb.xtis.emplace_back(first, static_cast<std::int32_t>(r.u32()));
            }
        } else if (rec.type == 0x0027) {
            r.u32();
            r.u8();
            const std::uint32_t itab = r.u32();
            wb.names.emplace_back(analysis::xlsb::ReadWideString(r).value_or("?"), itab);
        } else if (rec.type == 0x009E) {
            r.skip(24);
            wb.activeTab = r.u32();
        }
    }
    return wb;
}

TEST(MacroSheetPackageClean, BinaryWorkbookKeepsEveryOtherSheetAndReference) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakeMacroSheetXlsb();
    EXPECT_EQ(analyzer.Scan(original).code, analysis::kScanSuspected);
    const auto outcome = analyzer.Clean(original);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);

    auto archive = analysis::zip::Archive::Open(outcome.bytes);
    ASSERT_TRUE(archive);
    EXPECT_FALSE(archive->Find("xl/macrosheets/sheet2.bin"));
    EXPECT_FALSE(archive->Find("xl/macrosheets/sheet4.bin"));
    EXPECT_FALSE(archive->Find("xl/calcChain.bin"));
    const std::string rels = [&] { ByteVec b = PartOf(outcome.bytes, "xl/_rels/workbook.bin.rels"); return std::string(b.begin(), b.end()); }();
    EXPECT_EQ(rels.find("macrosheets"), std::string::npos);
    EXPECT_EQ(rels.find("calcChain"), std::string::npos);
    EXPECT_NE(rels.find("worksheets/sheet5.bin"), std::string::npos);
    for (const char* part : {"xl/worksheets/sheet1.bin", "xl/worksheets/sheet3.bin", "xl/worksheets/sheet5.bin"})
        EXPECT_EQ(PartOf(outcome.bytes, part), PartOf(original, part)) << part;

    const BinaryWorkbook wb = ReadBinaryWorkbook(PartOf(outcome.bytes, "xl/workbook.bin"));
    const std::vector<std::pair<std::string, std::uint32_t>> sheets = {{"Data", 0}, {"Calc", 0}, {"Summary", 0}};
    EXPECT_EQ(wb.sheets, sheets);
    const std::vector<std::pair<int, int>> xtis = {{0, 0}, {-1, -1}, {1, 1}, {-1, -1}, {2, 2}, {0, 2}, {1, 1}};
    EXPECT_EQ(wb.xtis, xtis);
    ASSERT_EQ(wb.names.size(), 5u);
    EXPECT_EQ(wb.names[0], std::make_pair(std::string("Total"), 0xFFFFFFFFu));
    EXPECT_EQ(wb.names[1].first, "Removed_Macro_Name_1");  // Auto_Open
    EXPECT_EQ(wb.names[2], std::make_pair(std::string("_xlnm.Print_Area"), 2u));
    EXPECT_EQ(wb.names[3].first, "Removed_Macro_Name_2");  // local to Macro2
    EXPECT_EQ(wb.names[4].first, "Spread");
    EXPECT_EQ(wb.activeTab, 0u);  // Macro1 was active; Data is now
}

TEST(MacroSheetPackageClean, BinaryWorkbookBehindTheDefaultPasswordStaysEncrypted) {
    analysis::Analyzer analyzer;
    const ByteVec original = EncryptOoxml(MakeMacroSheetXlsb(), PackageEncryption::kStandard);
    EXPECT_EQ(analyzer.Scan(original).code, analysis::kScanSuspected);
    const auto outcome = analyzer.Clean(original);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    auto file = analysis::cfb::CompoundFile::Open(outcome.bytes);
    ASSERT_TRUE(file && file->Find("EncryptedPackage"));
    auto unlocked = analysis::UnlockWithDefaultPassword(*file);
    ASSERT_TRUE(unlocked);
    EXPECT_EQ(ReadBinaryWorkbook(PartOf(unlocked->plain, "xl/workbook.bin")).sheets.size(), 3u);
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
}

TEST(MacroSheetPackageClean, BinaryWorkbookOfMacroSheetsOnlyIsRefused) {
    analysis::Analyzer analyzer;
    MacroWorkbookOptions options;
    options.sheets = {{"Data"}, {"Macro1", true}};
    ByteVec package = MakeMacroSheetXlsb(options);
    // The worksheet's relationship retargeted at a macro sheet part: nothing would be left.
    auto archive = analysis::zip::Archive::Open(package);
    analysis::zip::Writer writer;
    for (const auto& e : archive->entries()) {
        auto data = *archive->Read(e.name);
        std::string text(data.begin(), data.end());
        std::string name = e.name;
        for (std::string* s : {&text, &name})
            for (std::size_t at; (at = s->find("worksheets/sheet1.bin")) != std::string::npos;) s->replace(at, 21, "macrosheets/sheet1.bin");
        writer.AddDeflated(name, analysis::Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
    const auto outcome = analyzer.Clean(writer.Finish());
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_TRUE(outcome.bytes.empty());
}

TEST(MacroSheetPackageClean, XmlWorkbookNamesAndViewFollowTheirSheets) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakePackage({.kind = PackageKind::kExcel, .macroEnabledType = true, .macroSheet = true, .autoOpenName = true});
    // Put the macro sheet first, with a sheet-level name on each sheet and the macro sheet active.
    auto archive = analysis::zip::Archive::Open(original);
    analysis::zip::Writer writer;
    for (const auto& e : archive->entries()) {
        auto data = *archive->Read(e.name);
        std::string text(data.begin(), data.end());
        if (e.name == "xl/workbook.xml")
            text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                   "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><bookViews><workbookView activeTab=\"0\" firstSheet=\"0\"/></bookViews>"
                   "<sheets><sheet name=\"Macro1\" sheetId=\"2\" r:id=\"rId2\"/><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
                   "<definedNames><definedName name=\"_xlnm.Auto_Open\">Macro1!$A$1</definedName>"
                   "<definedName name=\"OnMacro\" localSheetId=\"0\">Macro1!$A$1</definedName>"
                   "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">Sheet1!$A$1</definedName></definedNames></workbook>";
        writer.AddDeflated(e.name, analysis::Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    }
    const auto outcome = analyzer.Clean(writer.Finish());
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    const ByteVec part = PartOf(outcome.bytes, "xl/workbook.xml");
    const std::string xml(part.begin(), part.end());
    EXPECT_EQ(xml.find("OnMacro"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("activeTab=\"0\""), std::string::npos) << xml;
    EXPECT_EQ(xml.find("Macro1\" sheetId"), std::string::npos) << xml;
}

TEST(MacroSheetPackageClean, TheDocumentPropertiesStopListingRemovedSheets) {
    // Saved by Excel: one worksheet, one Excel 4.0 macro sheet, both in docProps/app.xml.
    const auto outcome = analysis::Analyzer().Clean(testfiles::CorpusFile("acn-003.xlsm"));
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    const auto archive = analysis::zip::Archive::Open(outcome.bytes);
    ASSERT_TRUE(archive);
    const ByteVec app = archive->Read("docProps/app.xml").value();
    const std::string xml(app.begin(), app.end());
    EXPECT_NE(xml.find("<HeadingPairs><vt:vector size=\"2\" baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr>"
                       "</vt:variant><vt:variant><vt:i4>1</vt:i4></vt:variant></vt:vector></HeadingPairs>"
                       "<TitlesOfParts><vt:vector size=\"1\" baseType=\"lpstr\"><vt:lpstr>Sheet1</vt:lpstr></vt:vector></TitlesOfParts>"),
              std::string::npos)
        << xml;
}

TEST(MacroSheetPackageClean, LibreOfficeShowsTheSameSheetsOfTheBinaryWorkbook) {
    if (!testfiles::HaveLibreOffice()) GTEST_SKIP() << "LibreOffice not installed";
    analysis::Analyzer analyzer;
    const ByteVec original = MakeMacroSheetXlsb();
    const auto sheets = testfiles::SheetsInLibreOffice({original, analyzer.Clean(original).bytes}, ".xlsb");
    ASSERT_EQ(sheets[0].values.size(), 5u) << "LibreOffice could not open the original";
    ASSERT_EQ(sheets[1].values.size(), 3u) << "LibreOffice could not open the cleaned workbook";
    for (const char* sheet : {"Data", "Calc", "Summary"}) {
        EXPECT_EQ(sheets[1].values.at(sheet), sheets[0].values.at(sheet)) << sheet;
        EXPECT_EQ(sheets[1].formulas.at(sheet), sheets[0].formulas.at(sheet)) << sheet;
    }
    EXPECT_NE(sheets[1].formulas.at("Summary").find("$Calc.$A$1"), std::string::npos);
}

}  // namespace
