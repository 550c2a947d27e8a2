// Removing Excel 4.0 macro sheets from .xls workbooks: the macro sheets, their substreams and their
// auto-open names go; every other sheet, 3-D reference, defined name and stream position still
// points where it did; LibreOffice shows the same cells and formulas on every remaining sheet.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "Analyzer.h"
#include "Biff.h"
#include "BiffStreamEdit.h"
#include "CfbCopy.h"
#include "CraftedDocuments.h"
#include "DefaultPassword.h"
#include "EncryptedDocuments.h"
#include "LibreOffice.h"
#include "MacroSheetWorkbooks.h"
#include "PartTitles.h"
#include "SampleSources.h"
#include "SummaryProperties.h"

using namespace tessaly;
using namespace tessaly::fixtures;
using analysis::ByteReader;
using analysis::biff::RecordSpan;

namespace {

const MacroWorkbookOptions kDefault{};

ByteVec WorkbookStream(const ByteVec& xls) {
    auto file = analysis::cfb::CompoundFile::Open(xls);
    auto stream = file ? file->ReadStream("Workbook") : std::nullopt;
    return stream.value_or(ByteVec{});
}

struct Parsed {
    ByteVec stream;
    std::vector<RecordSpan> records;
    [[nodiscard]] std::vector<RecordSpan> All(std::uint16_t id) const {
        std::vector<RecordSpan> out;
        for (const auto& r : records)
            if (r.id == id) out.push_back(r);
        return out;
    }
    [[nodiscard]] ByteReader Reader(const RecordSpan& r) const { return ByteReader(analysis::Bytes(stream).subspan(r.dataOffset(), r.size)); }
};

Parsed Parse(const ByteVec& xls) {
    Parsed p{WorkbookStream(xls), {}};
    p.records = analysis::biff::ListRecords(p.stream).value_or(std::vector<RecordSpan>{});
    return p;
}

std::vector<std::pair<int, int>> Xtis(const Parsed& p) {
    std::vector<std::pair<int, int>> out;
    for (const auto& rec : p.All(0x0017)) {
        ByteReader r = p.Reader(rec);
        const std::uint16_t count = r.u16();
        for (std::uint16_t k = 0; k < count; ++k) {
            r.u16();
            const auto first = static_cast<std::int16_t>(r.u16());
            const auto last = static_cast<std::int16_t>(r.u16());
            out.emplace_back(first, last);
        }
    }
    return out;
}

struct NameInfo {
    std::uint16_t flags;
    std::uint16_t itab;
    std::string text;
};

std::vector<NameInfo> Names(const Parsed& p) {
    std::vector<NameInfo> out;
    for (const auto& rec : p.All(0x0018)) {
        ByteReader r = p.Reader(rec);
        NameInfo n{r.u16(), 0, {}};
        r.u8();
        const std::uint8_t length = r.u8();
        r.skip(4);
        n.itab = r.u16();
        r.skip(5);
        n.text = r.text(length);
        out.push_back(n);
    }
    return out;
}

bool Contains(const ByteVec& haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

TEST(MacroSheetClean, SheetsReferencesAndNamesStillPointWhereTheyDid) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakeMacroSheetWorkbook();
    ASSERT_EQ(analyzer.Scan(original).text, "Heur.XLM.Runner");
    const auto outcome = analyzer.Clean(original);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(outcome.text, "Heur.XLM.Runner");
    EXPECT_FALSE(Contains(outcome.bytes, "notepad.exe"));
    EXPECT_FALSE(Contains(outcome.bytes, "calc.exe"));
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);

    const Parsed p = Parse(outcome.bytes);
    const auto wb = analysis::biff::ReadWorkbook(p.stream);
    ASSERT_TRUE(wb.readable);
    ASSERT_EQ(wb.sheets.size(), 3u);
    const char* expected[] = {"Data", "Calc", "Summary"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(wb.sheets[i].name, expected[i]);
        EXPECT_EQ(wb.sheets[i].type, analysis::biff::SheetType::kWorksheet);
        ByteReader bof(analysis::Bytes(p.stream), wb.sheets[i].streamOffset);
        EXPECT_EQ(bof.u16(), 0x0809) << expected[i];
    }
    EXPECT_FALSE(wb.autoOpenName);
    // Old entries: each sheet alone, all five, Macro1..Calc.
    const std::vector<std::pair<int, int>> xtis = {{0, 0}, {-1, -1}, {1, 1}, {-1, -1}, {2, 2}, {0, 2}, {1, 1}};
    EXPECT_EQ(Xtis(p), xtis);
    ByteReader supBook = p.Reader(p.All(0x01AE).front());
    EXPECT_EQ(supBook.u16(), 3);

    const auto names = Names(p);
    ASSERT_EQ(names.size(), 5u);  // same count, same positions: formulas count names by position
    EXPECT_EQ(names[0].text, "Total");
    EXPECT_EQ(names[1].text, "Removed_Macro_Name_1");  // was Auto_Open
    EXPECT_EQ(names[1].flags, 0x0001);
    EXPECT_EQ(names[1].itab, 0);
    EXPECT_EQ(names[2].text, "\x06");  // Print_Area of Summary: sheet 5 became sheet 3
    EXPECT_EQ(names[2].itab, 3);
    EXPECT_EQ(names[3].text, "Removed_Macro_Name_2");  // local to Macro2
    EXPECT_EQ(names[4].text, "Spread");

    // Macro1 was the active tab: Data takes its place, selected.
    ByteReader window1 = p.Reader(p.All(0x003D).front());
    window1.skip(10);
    EXPECT_EQ(window1.u16(), 0);
    ByteReader window2 = p.Reader(p.All(0x023E).front());
    EXPECT_EQ(window2.u16() & 0x0600, 0x0600);
    ByteReader tabIds = p.Reader(p.All(0x013D).front());
    EXPECT_EQ(p.All(0x013D).front().size, 6u);
    EXPECT_EQ(tabIds.u16(), 1);
    EXPECT_EQ(tabIds.u16(), 3);
    EXPECT_EQ(tabIds.u16(), 5);
    // Absolute positions moved with the records: INDEX to DIMENSIONS, EXTSST to the first string.
    for (const auto& index : p.All(0x020B)) {
        ByteReader r = p.Reader(index);
        r.skip(12);
        ByteReader target(analysis::Bytes(p.stream), r.u32());
        EXPECT_EQ(target.u16(), 0x0200);
    }
    ByteReader extSst = p.Reader(p.All(0x00FF).front());
    extSst.u16();
    EXPECT_EQ(extSst.u32(), p.All(0x00FC).front().offset + 12);
}

TEST(MacroSheetClean, OtherStreamsAndAVbaProjectAreHandledToo) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakeMacroSheetWorkbook({.modules = {{"Spreader", sources::kReplicator}}});
    const auto outcome = analyzer.Clean(original);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    auto before = analysis::cfb::CompoundFile::Open(original);
    auto after = analysis::cfb::CompoundFile::Open(outcome.bytes);
    ASSERT_TRUE(after);
    EXPECT_FALSE(after->Find("_VBA_PROJECT_CUR"));
    EXPECT_EQ(after->ReadStream("\x05SummaryInformation"), before->ReadStream("\x05SummaryInformation"));
    const auto wb = analysis::biff::ReadWorkbook(*after->ReadStream("Workbook"));
    EXPECT_FALSE(wb.hasObjProj);
    EXPECT_EQ(wb.sheets.size(), 3u);
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
}

TEST(MacroSheetClean, TabsStayUsableWhateverWasHidden) {
    analysis::Analyzer analyzer;
    // The macro sheet is the only visible sheet: the first worksheet is shown and made active.
    const ByteVec hidden = MakeMacroSheetWorkbook({.sheets = {{"Data", false, 1}, {"Macro1", true}, {"Calc", false, 2}}, .activeSheet = 1});
    const auto outcome = analyzer.Clean(hidden);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    const auto wb = analysis::biff::ReadWorkbook(Parse(outcome.bytes).stream);
    ASSERT_EQ(wb.sheets.size(), 2u);
    EXPECT_EQ(wb.sheets[0].visibility, 0);
    EXPECT_EQ(wb.sheets[1].visibility, 2);
    // The active tab stays where it was when it is not a macro sheet.
    const ByteVec keepActive = MakeMacroSheetWorkbook({.activeSheet = 4});
    const Parsed p = Parse(analyzer.Clean(keepActive).bytes);
    ByteReader window1 = p.Reader(p.All(0x003D).front());
    window1.skip(10);
    EXPECT_EQ(window1.u16(), 2);
}

TEST(MacroSheetClean, RefusesWhatCannotBeRemovedSoundly) {
    analysis::Analyzer analyzer;
    // A workbook of macro sheets only would be left with no sheet at all.
    MacroWorkbookOptions onlyMacros;
    onlyMacros.sheets = {{"Data"}, {"Macro1", true}};
    ByteVec stream = MacroSheetWorkbookStream(onlyMacros);
    // Turn the worksheet into a macro sheet too, in its BOUNDSHEET and its BOF.
    auto records = *analysis::biff::ListRecords(stream);
    for (const auto& r : records)
        if (r.id == 0x0085 && stream[r.dataOffset() + 5] == 0) stream[r.dataOffset() + 5] = 1;
    const ByteVec original = MakeMacroSheetWorkbook(onlyMacros);
    const auto file = analysis::cfb::CompoundFile::Open(original);
    const ByteVec allMacros = *analysis::cfb::RewriteWith(*file, {{"Workbook", stream}});
    auto outcome = analyzer.Clean(allMacros);
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_TRUE(outcome.bytes.empty());

    // EXTERNSHEET continued in a CONTINUE record cannot be renumbered with certainty.
    ByteVec continued = WorkbookStream(MakeMacroSheetWorkbook());
    records = *analysis::biff::ListRecords(continued);
    const auto extern_ = std::find_if(records.begin(), records.end(), [](const RecordSpan& r) { return r.id == 0x0017; });
    analysis::biff::StreamEdit edit(continued);
    edit.Insert(extern_->end(), analysis::biff::MakeRecord(0x003C, ByteVec(6, 0)));
    const ByteVec withContinue = *analysis::cfb::RewriteWith(*analysis::cfb::CompoundFile::Open(MakeMacroSheetWorkbook()),
                                                             {{"Workbook", *edit.Apply()}});
    outcome = analyzer.Clean(withContinue);
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_NE(outcome.text.find("CONTINUE"), std::string::npos) << outcome.text;
}

TEST(MacroSheetClean, ASheetIsAMacroSheetWhenItsOwnBofSaysSo) {
    const ByteVec original = MakeMacroSheetWorkbook();
    const ByteVec disguised = WithMacroSheetsListedAsWorksheets(original);
    analysis::Analyzer analyzer;
    const auto v = analyzer.Scan(disguised);
    EXPECT_EQ(v.code, analysis::kScanInfected);
    EXPECT_EQ(v.text, analyzer.Scan(original).text);
    const auto outcome = analyzer.Clean(disguised);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
    EXPECT_EQ(Parse(outcome.bytes).All(analysis::biff::kBoundSheet).size(), 3u);
}

TEST(MacroSheetClean, TheDocumentSummaryStopsListingRemovedSheets) {
    MacroWorkbookOptions listed;
    listed.summaryTitles = true;
    const auto outcome = analysis::Analyzer().Clean(MakeMacroSheetWorkbook(listed));
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    const auto file = analysis::cfb::CompoundFile::Open(outcome.bytes);
    const auto titles = analysis::ReadSummaryTitles(*file->ReadStream("\x05" "DocumentSummaryInformation"));
    ASSERT_TRUE(titles);
    EXPECT_EQ(titles->titles, (std::vector<std::string>{"Data", "Calc", "Summary"}));
    EXPECT_EQ(titles->headings, (std::vector<std::pair<std::string, std::int32_t>>{{"Worksheets", 3}}));
    // Strings padded to four bytes read and rewrite the same; the user's set after the first moves along.
    const ByteVec aligned = DocumentSummaryStream({{{"Worksheets", 1}, {"Excel 4.0 Macros", 1}}, {"Data", "Macro1"}, true, true});
    const auto without = analysis::SummaryWithout(aligned, {"Macro1"});
    ASSERT_TRUE(without);
    EXPECT_EQ(analysis::ReadSummaryTitles(*without)->titles, std::vector<std::string>{"Data"});
    const auto secondAt = analysis::ReadField(*without, analysis::Field<std::uint32_t>{64}).value();
    EXPECT_EQ(analysis::ReadField(*without, analysis::Field<std::uint32_t>{4}, secondAt), 1u);  // its one property
    EXPECT_FALSE(analysis::SummaryWithout(aligned, {"Macro9"}));
}

TEST(MacroSheetClean, SheetsSharingASubstreamAreRefused) {
    // Macro2's BOUNDSHEET names Macro1's substream: removing one would take the other's with it.
    ByteVec stream = MacroSheetWorkbookStream();
    std::vector<std::size_t> boundSheets;
    const auto records = *analysis::biff::ListRecords(stream);
    for (const auto& r : records)
        if (r.id == analysis::biff::kBoundSheet) boundSheets.push_back(r.dataOffset());
    ASSERT_EQ(boundSheets.size(), 5u);
    const auto macro1 = analysis::ReadField(stream, analysis::biff::boundsheet::kStreamPosition, boundSheets[1]);
    analysis::SetField(stream, analysis::biff::boundsheet::kStreamPosition, *macro1, boundSheets[3]);
    const ByteVec original = MakeMacroSheetWorkbook();
    const auto file = analysis::cfb::CompoundFile::Open(original);
    const auto outcome = analysis::Analyzer().Clean(*analysis::cfb::RewriteWith(*file, {{"Workbook", stream}}));
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_NE(outcome.text.find("overlap"), std::string::npos) << outcome.text;
}

TEST(MacroSheetClean, HundredsOfMacroSheetsGoInOneEdit) {
    // Every removed substream is an edit every stored position is moved past.
    MacroWorkbookOptions many;
    many.sheets = {{"Data"}};
    for (int i = 1; i <= 300; ++i) many.sheets.push_back({"Macro" + std::to_string(i), true});
    many.sheets.push_back({"Calc"});
    many.sheets.push_back({"Summary"});
    many.activeSheet = 0;
    analysis::Analyzer analyzer;
    const auto outcome = analyzer.Clean(MakeMacroSheetWorkbook(many));
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
    const Parsed p = Parse(outcome.bytes);
    const auto wb = analysis::biff::ReadWorkbook(p.stream);
    ASSERT_EQ(wb.sheets.size(), 3u);
    for (const auto& sheet : wb.sheets)
        EXPECT_EQ(analysis::ReadField(p.stream, analysis::biff::record::kId, sheet.streamOffset), analysis::biff::kBof) << sheet.name;
    const auto xtis = Xtis(p);
    ASSERT_EQ(xtis.size(), 305u);
    EXPECT_EQ(xtis[0], std::make_pair(0, 0));
    EXPECT_EQ(xtis[150], std::make_pair(-1, -1));
    EXPECT_EQ(xtis[301], std::make_pair(1, 1));
    EXPECT_EQ(xtis[302], std::make_pair(2, 2));
    EXPECT_EQ(xtis[303], std::make_pair(0, 2));
}

TEST(MacroSheetClean, DamagedWorkbooksAreNeverCleanedIntoSomethingBroken) {
    analysis::Analyzer analyzer;
    const ByteVec original = MakeMacroSheetWorkbook();
    auto file = analysis::cfb::CompoundFile::Open(original);
    const ByteVec stream = *file->ReadStream("Workbook");
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        ByteVec damaged = stream;
        const std::size_t at = random() % std::min<std::size_t>(damaged.size(), 1400);  // the globals and first sheets
        damaged[at] = static_cast<std::uint8_t>(random());
        const ByteVec document = *analysis::cfb::RewriteWith(*file, {{"Workbook", damaged}});
        const auto outcome = analyzer.Clean(document);
        if (outcome.code == analysis::kCleanRepaired) {
            const auto rescan = analyzer.Scan(outcome.bytes);
            EXPECT_NE(rescan.code, analysis::kScanSuspected) << at;
            EXPECT_NE(rescan.code, analysis::kScanInfected) << at;
        } else {
            EXPECT_TRUE(outcome.bytes.empty()) << at;
        }
    }
}

TEST(MacroSheetClean, BehindTheDefaultPasswordTheWorkbookStaysEncrypted) {
    analysis::Analyzer analyzer;
    for (XlsEncryption how : {XlsEncryption::kRc4, XlsEncryption::kCryptoApi}) {
        const ByteVec original = EncryptXls(MakeMacroSheetWorkbook(), how);
        EXPECT_EQ(analyzer.Scan(original).text, "Heur.XLM.Runner");
        const auto outcome = analyzer.Clean(original);
        ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
        auto file = analysis::cfb::CompoundFile::Open(outcome.bytes);
        auto unlocked = analysis::UnlockWithDefaultPassword(*file);
        ASSERT_TRUE(unlocked);
        const auto wb = analysis::biff::ReadWorkbook(WorkbookStream(unlocked->plain));
        EXPECT_EQ(wb.sheets.size(), 3u);
        EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean);
    }
}

TEST(MacroSheetClean, LibreOfficeShowsTheSameDataOnEveryRemainingSheet) {
    if (!testfiles::HaveLibreOffice()) GTEST_SKIP() << "LibreOffice not installed";
    analysis::Analyzer analyzer;
    const ByteVec plain = MakeMacroSheetWorkbook({.modules = {{"Spreader", sources::kReplicator}}});
    const ByteVec encrypted = EncryptXls(MakeMacroSheetWorkbook(), XlsEncryption::kRc4);
    std::vector<ByteVec> documents{plain, analyzer.Clean(plain).bytes, encrypted, analyzer.Clean(encrypted).bytes};
    const auto sheets = testfiles::SheetsInLibreOffice(documents, ".xls");
    for (std::size_t i = 0; i < documents.size(); i += 2) {
        const auto& before = sheets[i];
        const auto& after = sheets[i + 1];
        ASSERT_EQ(before.values.size(), 5u) << "LibreOffice could not open document " << i;
        ASSERT_EQ(after.values.size(), 3u) << "LibreOffice could not open the cleaned document " << i;
        for (const char* sheet : {"Data", "Calc", "Summary"}) {
            EXPECT_EQ(after.values.at(sheet), before.values.at(sheet)) << sheet;
            EXPECT_EQ(after.formulas.at(sheet), before.formulas.at(sheet)) << sheet;
        }
        EXPECT_NE(after.formulas.at("Calc").find("SUM($Data.$A$1:$Summary.$A$1)"), std::string::npos) << after.formulas.at("Calc");
        EXPECT_NE(after.formulas.at("Summary").find("$Calc.$A$1"), std::string::npos) << after.formulas.at("Summary");
    }
}

}  // namespace
