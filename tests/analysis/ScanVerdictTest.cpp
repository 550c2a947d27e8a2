// Scan codes and names for every kind of sample document, and the decisions behind them.
#include <gtest/gtest.h>

#include "Analyzer.h"
#include "Cfb.h"
#include "CfbWriter.h"
#include "Documents.h"
#include "SampleSources.h"
#include "Samples.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

// A WordDocument stream as MakeDoc writes it.
ByteVec MakeDocWordStream() {
    const ByteVec doc = MakeDoc();
    auto file = analysis::cfb::CompoundFile::Open(doc);
    return file ? file->ReadStream("WordDocument").value_or(ByteVec{}) : ByteVec{};
}

analysis::Verdict ScanBytes(const analysis::Analyzer& a, const ByteVec& b) { return a.Scan(b); }

TEST(ScanVerdict, EverySampleGetsItsExpectedCode) {
    analysis::Analyzer analyzer;
    for (const Sample& s : StandardSamples()) {
        const auto v = ScanBytes(analyzer, s.bytes);
        EXPECT_EQ(v.code, s.expectedScanCode) << s.fileName << ": " << v.text;
        if (s.expectedScanCode == analysis::kScanInfected) {
            EXPECT_FALSE(v.text.empty()) << s.fileName;
        }
    }
}

TEST(ScanVerdict, SignatureAndHeuristicNames) {
    analysis::Analyzer analyzer;
    const VbaModule replicator{"Spreader", sources::kReplicator};
    const VbaModule downloader{"Fetch", sources::kDownloader};
    const VbaModule runner{"Starter", sources::kRunner};
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {replicator}})).text, "W97M.Replicator.NormalTemplate");
    EXPECT_EQ(ScanBytes(analyzer, MakeXls({.modules = {downloader}})).text, "W97M.Downloader.UrlMon");
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {runner}})).text, "Heur.Macro.Runner");
    EXPECT_EQ(ScanBytes(analyzer, MakeXls({.macroSheet = true, .autoOpenName = true})).text, "Heur.XLM.Runner");
}

TEST(ScanVerdict, SignaturesComeFromTheTextGiven) {
    analysis::Analyzer analyzer("[Test.Bold]\nall = selection.font.bold = true\n");
    const VbaModule harmless{"Formatting", sources::kHarmless};
    const auto v = ScanBytes(analyzer, MakeDoc({.modules = {harmless}}));
    EXPECT_EQ(v.code, analysis::kScanInfected);
    EXPECT_EQ(v.text, "Test.Bold");
}

TEST(ScanVerdict, AnUnusableSignatureFileLeavesTheBuiltInSetAndSaysSo) {
    testing::internal::CaptureStderr();
    const analysis::Analyzer analyzer("[Broken\nall\n= no section holds a pattern\n");
    const std::string said = testing::internal::GetCapturedStderr();
    const VbaModule replicator{"Spreader", sources::kReplicator};
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {replicator}})).text, "W97M.Replicator.NormalTemplate");
    EXPECT_NE(said.find("signature file holds no usable signature; the built-in signatures are used"), std::string::npos) << said;
}

TEST(ScanVerdict, BehaviourWithoutAutoStartIsOnlySuspected) {
    analysis::Analyzer analyzer("[Unused]\nall = nothing-like-this\n");
    const std::string source = "Attribute VB_Name = \"M\"\r\nSub Later()\r\n    Shell \"notepad.exe\"\r\nEnd Sub\r\n";
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {{"M", source}}})).code, analysis::kScanSuspected);
    const std::string autoOnly = "Attribute VB_Name = \"M\"\r\nSub AutoOpen()\r\n    MsgBox \"hi\"\r\nEnd Sub\r\n";
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {{"M", autoOnly}}})).code, analysis::kScanSuspected);
}

TEST(ScanVerdict, OrdinaryAutoStartMacrosAreNotCalledViruses) {
    analysis::Analyzer analyzer;
    const std::string logger = "Attribute VB_Name = \"Log\"\r\nSub AutoOpen()\r\n"
                               "    Open ActiveDocument.Path & \"\\open.log\" For Append As #1\r\n"
                               "    Print #1, Now\r\n    Close #1\r\nEnd Sub\r\n";
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {{"Log", logger}}})).code, analysis::kScanSuspected);
}

TEST(ScanVerdict, AVirusInAnEncryptedWorkbookIsStillNamed) {
    analysis::Analyzer analyzer;
    const ByteVec xls = MakeXls({.modules = {{"Spreader", sources::kReplicator}}, .filePass = true});
    EXPECT_EQ(ScanBytes(analyzer, xls).code, analysis::kScanInfected);
    // Its records cannot be adjusted without the key, so it is not cleaned.
    EXPECT_EQ(analyzer.Clean(xls).code, analysis::kCleanEncrypted);
    const VbaModule harmless{"Formatting", sources::kHarmless};
    EXPECT_EQ(ScanBytes(analyzer, MakeXls({.modules = {harmless}, .filePass = true})).code, analysis::kScanEncrypted);
}

TEST(ScanVerdict, IncompleteProjectsNeverPassAsClean) {
    analysis::Analyzer analyzer;
    VbaModule missing{"Gone", sources::kHarmless};
    missing.missingStream = true;
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {missing}})).code, analysis::kScanSuspected);
    VbaModule stomped{"ThisDocument", sources::kEmptyDocumentModule, true};
    stomped.emptySource = true;
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {stomped}})).code, analysis::kScanSuspected);
    // Hidden from the PROJECT stream, still read from dir: the virus is still found.
    VbaModule hidden{"Spreader", sources::kReplicator};
    hidden.hiddenFromProject = true;
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {hidden}})).code, analysis::kScanInfected);
}

TEST(ScanVerdict, OrphanedModuleStreamsAreScannedToo) {
    analysis::Analyzer analyzer;
    // The stream is present in the storage, but the dir stream does not know it.
    analysis::cfb::Node root;
    root.AddStream("WordDocument", MakeDocWordStream());
    analysis::cfb::Node& macros = root.AddStorage("Macros");
    AddVbaProject(macros, {{"ThisDocument", sources::kEmptyDocumentModule, true}});
    ByteVec orphan(40, 0x5A);
    const ByteVec packed = OvbaCompress(Bytes(reinterpret_cast<const std::uint8_t*>(sources::kReplicator.data()),
                                              sources::kReplicator.size()));
    orphan.insert(orphan.end(), packed.begin(), packed.end());
    macros.children.front().AddStream("Hidden", orphan);
    const auto v = analyzer.Scan(analysis::cfb::WriteCompoundFile(root));
    EXPECT_EQ(v.code, analysis::kScanInfected) << v.text;
}

TEST(ScanVerdict, SourceInUncompressedChunksIsRead) {
    analysis::Analyzer analyzer;
    VbaModule big{"Spreader", sources::kReplicator + std::string(9000, '\'') + "\r\n"};
    big.rawChunks = true;
    EXPECT_EQ(ScanBytes(analyzer, MakeDoc({.modules = {big}})).code, analysis::kScanInfected);
}

TEST(ScanVerdict, MacroStorageInAnyPackageCounts) {
    analysis::Analyzer analyzer;
    const VbaModule harmless{"Formatting", sources::kHarmless};
    // An .xlsx that carries vbaProject.bin, and a macro-enabled type without any VBA.
    EXPECT_EQ(ScanBytes(analyzer, MakePackage({.kind = PackageKind::kExcel, .modules = {harmless}})).code,
              analysis::kScanSuspected);
    EXPECT_EQ(ScanBytes(analyzer, MakePackage({.macroEnabledType = true})).code, analysis::kScanClean);
    EXPECT_EQ(ScanBytes(analyzer, MakePackage({.modules = {harmless}, .zip64 = true})).code, analysis::kScanSuspected);
}

TEST(ScanVerdict, NoInputIsTooSmallOrStrange) {
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan({}).code, analysis::kScanDamaged);
    ByteVec header = MakeDoc();
    header.resize(512);
    EXPECT_EQ(ScanBytes(analyzer, header).code, analysis::kScanDamaged);
}

}  // namespace
