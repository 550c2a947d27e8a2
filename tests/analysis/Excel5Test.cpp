// Excel 5.0/95 workbooks: BIFF5 records read as BIFF5, VBA module sheets and the project storage
// of that era reported, and a clean refused where it would renumber sheets.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "Biff.h"
#include "Cfb.h"
#include "CleanRefusals.h"
#include "Excel5Documents.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

// What a workbook virus of the era does, inert: hooks sheet activation, names a module to copy.
const std::string kLarouxLike =
    "Attribute VB_Name = \"laroux\"\r\nSub auto_open()\r\n"
    "    Application.OnSheetActivate = \"check_files\"\r\nEnd Sub\r\n"
    "Sub check_files()\r\n    c$ = Application.StartupPath\r\nEnd Sub\r\n";

TEST(Excel5, WorkbooksAreReadAsBiff5) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(MakeXls5()).code, analysis::kScanClean);
    const analysis::biff::Workbook wb = analysis::biff::ReadWorkbook(Biff5Stream({.macroSheet = true, .autoOpenName = true}));
    EXPECT_TRUE(wb.readable);
    EXPECT_TRUE(wb.biff5);
    ASSERT_EQ(wb.sheets.size(), 2u);
    EXPECT_EQ(wb.sheets[1].name, "Macro1");
    EXPECT_TRUE(wb.autoOpenName);
    EXPECT_NE(wb.macroSheetText.find("NOTEPAD.EXE EXEC("), std::string::npos) << wb.macroSheetText;
}

TEST(Excel5, MacroSheetsAndModulesAreReported) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(MakeXls5({.macroSheet = true})).code, analysis::kScanSuspected);
    analysis::Analyzer heuristicsOnly("[Unused]\nall = nothing-like-this\n");
    EXPECT_EQ(heuristicsOnly.Scan(MakeXls5({.macroSheet = true, .autoOpenName = true})).text, "Heur.XLM.Runner");
    // A module sheet whose source cannot be found is never clean.
    EXPECT_EQ(analyzer.Scan(MakeXls5({.moduleSheet = true})).code, analysis::kScanSuspected);
    const auto named = analyzer.Scan(MakeXls5({.moduleSheet = true, .projectSource = kLarouxLike}));
    EXPECT_EQ(named.code, analysis::kScanInfected);
    EXPECT_EQ(named.text, "XM.Laroux.A");
}

TEST(Excel5, ModuleSheetsAreRefusedAProjectAloneIsRemoved) {
    analysis::Analyzer analyzer;
    const ByteVec withModule = MakeXls5({.moduleSheet = true, .projectSource = kLarouxLike});
    const auto refused = analyzer.Clean(withModule);
    EXPECT_EQ(refused.code, analysis::kCleanFailed);
    EXPECT_EQ(refused.text, analysis::refusals::kExcel5ModuleSheets);
    EXPECT_TRUE(refused.bytes.empty());
    const auto cleaned = analyzer.Clean(MakeXls5({.projectSource = kLarouxLike}));
    ASSERT_EQ(cleaned.code, analysis::kCleanRepaired) << cleaned.text;
    EXPECT_EQ(analyzer.Scan(cleaned.bytes).code, analysis::kScanClean);
    auto file = analysis::cfb::CompoundFile::Open(cleaned.bytes);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->Find("_VBA_PROJECT"));
    EXPECT_TRUE(file->Find("Book"));
}

}  // namespace
