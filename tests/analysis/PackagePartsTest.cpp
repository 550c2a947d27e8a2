// OOXML details the cleaner and scanner rely on: projects found by content type alone, relative
// and absolute relationship targets, and the shipped signature file being fully usable.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Analyzer.h"
#include "Biff.h"
#include "Documents.h"
#include "SampleSources.h"
#include "Signatures.h"
#include "Zip.h"
#include "ZipWriter.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

Bytes Text(const std::string& s) { return Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); }

const std::string kTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Override PartName=\"/word/document.xml\" ContentType=\"application/vnd.ms-word.document.macroEnabled.main+xml\"/>"
    "<Override PartName=\"/custom/code.dat\" ContentType=\"application/vnd.ms-office.vbaProject\"/></Types>";

ByteVec PackageWithProjectAt(const std::string& relsTarget, const std::string& relsPart) {
    analysis::zip::Writer w;
    w.AddDeflated("[Content_Types].xml", Text(kTypes));
    w.AddDeflated("word/document.xml", Text("<w:document><w:body><w:t>kept</w:t></w:body></w:document>"));
    w.AddDeflated(relsPart, Text("<Relationships><Relationship Id=\"rId1\" Type=\"x/vbaProject\" Target=\"" + relsTarget +
                                 "\"/><Relationship Id=\"rId2\" Type=\"x/styles\" Target=\"styles.xml\"/></Relationships>"));
    w.AddStored("custom/code.dat", VbaProjectBin({{"Spreader", sources::kReplicator}}));
    return w.Finish();
}

std::string PartText(const ByteVec& package, const std::string& name) {
    auto archive = analysis::zip::Archive::Open(package);
    auto data = archive ? archive->Read(name) : std::nullopt;
    return data ? std::string(data->begin(), data->end()) : "<missing>";
}

TEST(PackageParts, ProjectFoundAndRemovedByContentTypeWhateverItsName) {
    analysis::Analyzer analyzer;
    for (const auto& [target, rels] : std::vector<std::pair<std::string, std::string>>{
             {"../custom/code.dat", "word/_rels/document.xml.rels"},
             {"/custom/code.dat", "word/_rels/document.xml.rels"},
             {"custom/code.dat", "_rels/.rels"}}) {
        const ByteVec package = PackageWithProjectAt(target, rels);
        EXPECT_EQ(analyzer.Scan(package).code, analysis::kScanInfected) << target;
        const auto outcome = analyzer.Clean(package);
        ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << target;
        EXPECT_EQ(PartText(outcome.bytes, "custom/code.dat"), "<missing>");
        const std::string relsText = PartText(outcome.bytes, rels);
        EXPECT_EQ(relsText.find("rId1"), std::string::npos) << target;
        EXPECT_NE(relsText.find("styles.xml"), std::string::npos) << target;
        EXPECT_EQ(PartText(outcome.bytes, "[Content_Types].xml").find("code.dat"), std::string::npos);
        EXPECT_EQ(PartText(outcome.bytes, "word/document.xml"), PartText(package, "word/document.xml"));
    }
}

TEST(PackageParts, AProjectPartThatIsNoProjectIsNotClean) {
    analysis::zip::Writer w;
    w.AddDeflated("[Content_Types].xml", Text(kTypes));
    w.AddStored("word/vbaProject.bin", Text("definitely not a compound file"));
    const ByteVec package = w.Finish();
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(package).code, analysis::kScanSuspected);
}

TEST(PackageParts, BinaryWorkbookMacroSheetsAreFoundButNotCutOut) {
    analysis::zip::Writer w;
    w.AddDeflated("[Content_Types].xml", Text("<Types/>"));
    w.AddStored("xl/workbook.bin", Text("binary records"));
    w.AddStored("xl/macrosheets/sheet1.bin", Text("binary macro sheet"));
    const ByteVec package = w.Finish();
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(package).code, analysis::kScanSuspected);
    const auto outcome = analyzer.Clean(package);
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_TRUE(outcome.bytes.empty());
}

TEST(PackageParts, WorkbookRecordRemovalShiftsExtSstPositions) {
    ByteVec stream = WorkbookStream({.modules = {{"M", "x"}}});
    // Append an EXTSST record in the globals with one bucket at an absolute position.
    ByteVec extsst;
    analysis::PutU16(extsst, 0x00FF);
    analysis::PutU16(extsst, 10);
    analysis::PutU16(extsst, 8);
    analysis::PutU32(extsst, 200);
    analysis::PutU16(extsst, 12);
    analysis::PutU16(extsst, 0);
    stream.insert(stream.begin() + 4 + 16, extsst.begin(), extsst.end());  // right after BOF
    auto fixed = analysis::biff::WithoutVbaProjectRecord(stream);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->size(), stream.size() - 4);
    EXPECT_EQ(analysis::ReadAt<std::uint32_t>(*fixed, 4 + 16 + 4 + 2), 196u);
    EXPECT_FALSE(analysis::biff::ReadWorkbook(*fixed).hasObjProj);
}

TEST(PackageParts, EverySectionOfTheShippedSignatureFileIsUsable) {
    std::ifstream in(TESSALY_SIGNATURE_FILE);
    ASSERT_TRUE(in) << TESSALY_SIGNATURE_FILE;
    std::stringstream text;
    text << in.rdbuf();
    std::size_t sections = 0;
    std::string line;
    std::istringstream lines(text.str());
    while (std::getline(lines, line))
        if (!line.empty() && line.front() == '[') ++sections;
    EXPECT_EQ(analysis::SignatureSet::Parse(text.str()).size(), sections);
    EXPECT_EQ(analysis::SignatureSet::Builtin().size(), sections);
}

}  // namespace
