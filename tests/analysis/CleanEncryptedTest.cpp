// Cleaning behind Office's default password: the cleaned document is encrypted again exactly as
// before (same FILEPASS, same EncryptionInfo but for a fresh HMAC), holds no macro bytes, and opens
// in LibreOffice with the same sheets; where that cannot be done the file is left alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "Analyzer.h"
#include "BiffStreamEdit.h"
#include "CfbCopy.h"
#include "CorpusFiles.h"
#include "DefaultPassword.h"
#include "Documents.h"
#include "EncryptedDocuments.h"
#include "LibreOffice.h"
#include "SampleSources.h"
#include "Zip.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

const VbaModule kReplicator{"Spreader", sources::kReplicator};
constexpr XlsEncryption kXlsSchemes[] = {XlsEncryption::kXor, XlsEncryption::kRc4, XlsEncryption::kCryptoApi};
constexpr PackageEncryption kPackageSchemes[] = {PackageEncryption::kStandard, PackageEncryption::kAgile};

bool Contains(const ByteVec& haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

ByteVec Stream(const ByteVec& compoundFile, const std::string& path) {
    auto file = analysis::cfb::CompoundFile::Open(compoundFile);
    auto data = file ? file->ReadStream(path) : std::nullopt;
    return data.value_or(ByteVec{});
}

ByteVec FilePassOf(const ByteVec& xls) {
    const ByteVec stream = Stream(xls, "Workbook");
    auto records = analysis::biff::ListRecords(stream);
    for (const auto& rec : records.value_or(std::vector<analysis::biff::RecordSpan>{}))
        if (rec.id == 0x002F) return ByteVec(stream.begin() + static_cast<std::ptrdiff_t>(rec.offset), stream.begin() + static_cast<std::ptrdiff_t>(rec.end()));
    return {};
}

ByteVec PlainOf(const ByteVec& document) {
    auto file = analysis::cfb::CompoundFile::Open(document);
    auto unlocked = file ? analysis::UnlockWithDefaultPassword(*file) : std::nullopt;
    return unlocked ? unlocked->plain : ByteVec{};
}

// A real workbook (sheets and data saved by a spreadsheet program) given a VBA project, then
// encrypted with the default password.
ByteVec RealWorkbookWithMacros(const std::string& corpusName, XlsEncryption how) {
    const ByteVec plain = PlainOf(testfiles::CorpusFile(corpusName));
    auto file = analysis::cfb::CompoundFile::Open(plain);
    const ByteVec stream = *file->ReadStream("Workbook");
    const auto records = *analysis::biff::ListRecords(stream);
    analysis::biff::StreamEdit edit(stream);
    const auto firstSheet = std::find_if(records.begin(), records.end(), [](const auto& r) { return r.id == 0x0085; });
    edit.Insert(firstSheet->offset, analysis::biff::MakeRecord(0x00D3, {}));  // OBJPROJ
    analysis::cfb::Node root = *analysis::cfb::CopyTree(*file, {{"Workbook", *edit.Apply()}});
    AddVbaProject(root.AddStorage("_VBA_PROJECT_CUR"), {kReplicator});
    return EncryptXls(analysis::cfb::WriteCompoundFile(root), how);
}

TEST(CleanEncrypted, WorkbooksKeepTheirEncryptionAndLoseTheirMacros) {
    analysis::Analyzer analyzer;
    for (XlsEncryption how : kXlsSchemes) {
        const int scheme = static_cast<int>(how);
        const ByteVec original = EncryptXls(MakeXls({.modules = {kReplicator}}), how);
        const auto outcome = analyzer.Clean(original);
        ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << scheme << ": " << outcome.text;
        EXPECT_EQ(outcome.text, "W97M.Replicator.NormalTemplate");
        // Still encrypted the same way: the FILEPASS record is the original's, byte for byte.
        EXPECT_EQ(FilePassOf(outcome.bytes), FilePassOf(original)) << scheme;
        EXPECT_FALSE(FilePassOf(outcome.bytes).empty()) << scheme;
        EXPECT_EQ(Stream(outcome.bytes, "\x05SummaryInformation"), Stream(original, "\x05SummaryInformation")) << scheme;
        EXPECT_FALSE(Contains(outcome.bytes, "Attribute VB_")) << scheme;
        const auto rescan = analyzer.Scan(outcome.bytes);
        EXPECT_EQ(rescan.code, analysis::kScanClean) << scheme << ": " << rescan.text;
        auto plain = analysis::cfb::CompoundFile::Open(PlainOf(outcome.bytes));
        ASSERT_TRUE(plain) << scheme;
        EXPECT_FALSE(plain->Find("_VBA_PROJECT_CUR")) << scheme;
    }
}

TEST(CleanEncrypted, PackagesKeepTheirEncryptionWithAValidIntegrityCode) {
    analysis::Analyzer analyzer;
    for (PackageEncryption how : kPackageSchemes) {
        const int scheme = static_cast<int>(how);
        const ByteVec original = EncryptOoxml(
            MakePackage({.kind = PackageKind::kExcel, .modules = {kReplicator}, .macroEnabledType = true}), how);
        const auto outcome = analyzer.Clean(original);
        ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << scheme << ": " << outcome.text;
        auto file = analysis::cfb::CompoundFile::Open(outcome.bytes);
        ASSERT_TRUE(file);
        auto unlocked = analysis::UnlockWithDefaultPassword(*file);
        ASSERT_TRUE(unlocked);
        const auto& key = std::get<analysis::offcrypto::PackageKey>(unlocked->key);
        EXPECT_TRUE(analysis::offcrypto::IntegrityHolds(Stream(outcome.bytes, "EncryptedPackage"), key)) << scheme;
        const std::string infoBefore = [&] { ByteVec b = Stream(original, "EncryptionInfo"); return std::string(b.begin(), b.end()); }();
        const std::string infoAfter = [&] { ByteVec b = Stream(outcome.bytes, "EncryptionInfo"); return std::string(b.begin(), b.end()); }();
        if (how == PackageEncryption::kStandard) {
            EXPECT_EQ(infoAfter, infoBefore);
        } else {
            // Only the HMAC of the new package differs.
            const std::size_t at = infoBefore.find("encryptedHmacValue=\"");
            ASSERT_NE(at, std::string::npos);
            EXPECT_EQ(infoAfter.substr(0, at), infoBefore.substr(0, at));
            EXPECT_NE(infoAfter, infoBefore);
        }
        auto archive = analysis::zip::Archive::Open(unlocked->plain);
        ASSERT_TRUE(archive) << scheme;
        EXPECT_FALSE(archive->Find("xl/vbaProject.bin")) << scheme;
        EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean) << scheme;
    }
}

TEST(CleanEncrypted, TheReEncryptedDocumentIsWrittenIntoTheSink) {
    analysis::Analyzer analyzer;
    const ByteVec original = EncryptXls(MakeXls({.modules = {kReplicator}}), XlsEncryption::kCryptoApi);
    analysis::MemorySink sink;
    const auto outcome = analyzer.Clean(original, sink);
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << outcome.text;
    EXPECT_TRUE(outcome.bytes.empty());
    const ByteVec written = sink.Take();
    EXPECT_EQ(FilePassOf(written), FilePassOf(original));
    EXPECT_EQ(written, analyzer.Clean(original).bytes);
}

TEST(CleanEncrypted, RefusesWhenTheEncryptionCannotBeKept) {
    analysis::Analyzer analyzer;
    // An Agile description without its integrity element can be read but not written back soundly.
    const ByteVec original = EncryptOoxml(MakePackage({.modules = {kReplicator}}), PackageEncryption::kAgile);
    auto file = analysis::cfb::CompoundFile::Open(original);
    const ByteVec info = *file->ReadStream("EncryptionInfo");
    std::string xml(info.begin(), info.end());
    const std::size_t from = xml.find("<dataIntegrity");
    xml.erase(from, xml.find("/>", from) + 2 - from);
    const ByteVec damaged = *analysis::cfb::RewriteWith(*file, {{"EncryptionInfo", ByteVec(xml.begin(), xml.end())}});
    EXPECT_EQ(analyzer.Scan(damaged).code, analysis::kScanInfected);
    const auto outcome = analyzer.Clean(damaged);
    EXPECT_EQ(outcome.code, analysis::kCleanFailed);
    EXPECT_TRUE(outcome.bytes.empty());
    EXPECT_NE(outcome.text.find("默认密码"), std::string::npos) << outcome.text;
}

TEST(CleanEncrypted, LibreOfficeOpensTheCleanedWorkbooksWithTheSameSheets) {
    if (!testfiles::HaveLibreOffice()) GTEST_SKIP() << "LibreOffice not installed";
    analysis::Analyzer analyzer;
    std::vector<ByteVec> originals, cleaned;
    for (XlsEncryption how : kXlsSchemes) {
        originals.push_back(RealWorkbookWithMacros("acj-005.xls", how));
        const auto outcome = analyzer.Clean(originals.back());
        ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << static_cast<int>(how) << ": " << outcome.text;
        cleaned.push_back(outcome.bytes);
    }
    std::vector<ByteVec> all = originals;
    all.insert(all.end(), cleaned.begin(), cleaned.end());
    const auto sheets = testfiles::SheetsInLibreOffice(all, ".xls");
    for (std::size_t i = 0; i < originals.size(); ++i) {
        EXPECT_FALSE(sheets[i].values.empty()) << "LibreOffice could not open original " << i;
        EXPECT_EQ(sheets[i + originals.size()].values, sheets[i].values) << i;
        EXPECT_EQ(sheets[i + originals.size()].formulas, sheets[i].formulas) << i;
    }
}

TEST(CleanEncrypted, LibreOfficeOpensTheCleanedPackages) {
    if (!testfiles::HaveLibreOffice()) GTEST_SKIP() << "LibreOffice not installed";
    analysis::Analyzer analyzer;
    std::vector<ByteVec> documents;
    for (PackageEncryption how : kPackageSchemes) {
        const ByteVec original = EncryptOoxml(
            MakePackage({.kind = PackageKind::kExcel, .modules = {kReplicator}, .macroEnabledType = true, .text = "Kept cell"}), how);
        const auto outcome = analyzer.Clean(original);
        ASSERT_EQ(outcome.code, analysis::kCleanRepaired);
        documents.push_back(original);
        documents.push_back(outcome.bytes);
    }
    const auto sheets = testfiles::SheetsInLibreOffice(documents, ".xlsx");
    for (std::size_t i = 0; i < documents.size(); i += 2) {
        ASSERT_EQ(sheets[i].values.count("Sheet1"), 1u) << "LibreOffice could not open original " << i;
        EXPECT_NE(sheets[i].values.at("Sheet1").find("Kept cell"), std::string::npos);
        EXPECT_EQ(sheets[i + 1].values, sheets[i].values) << i;
    }
}

}  // namespace
