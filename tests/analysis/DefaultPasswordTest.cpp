// Documents behind Office's default password: real files saved by Excel and other programs decrypt
// to exactly what an independent decryptor gives, macros behind the password are found, and
// whatever stays unreadable (another password, parts moved into the encryption stream, a damaged
// description) stays "encrypted".
#include <gtest/gtest.h>

#include <set>

#include "Analyzer.h"
#include "BiffStreamEdit.h"
#include "Budget.h"
#include "CfbCopy.h"
#include "CorpusFiles.h"
#include "CraftedDocuments.h"
#include "DefaultPassword.h"
#include "Documents.h"
#include "EncryptedDocuments.h"
#include "Excel5Documents.h"
#include "Inspection.h"
#include "SampleSources.h"
#include "crypto/Hash.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

const VbaModule kReplicator{"Spreader", sources::kReplicator};
const VbaModule kHarmless{"Formatting", sources::kHarmless};
constexpr XlsEncryption kXlsSchemes[] = {XlsEncryption::kXor, XlsEncryption::kRc4, XlsEncryption::kCryptoApi};
constexpr PackageEncryption kPackageSchemes[] = {PackageEncryption::kStandard, PackageEncryption::kAgile};

std::string Hex(const ByteVec& bytes) {
    std::string out;
    for (std::uint8_t b : bytes) {
        out.push_back("0123456789abcdef"[b >> 4]);
        out.push_back("0123456789abcdef"[b & 15]);
    }
    return out;
}

std::optional<analysis::UnlockedDocument> UnlockBytes(const ByteVec& document, std::string_view password) {
    auto file = analysis::cfb::CompoundFile::Open(document);
    return file ? analysis::Unlock(*file, password) : std::nullopt;
}

// SHA-1 over the id and data of every record, leaving out the records that hold stream positions
// (they differ between decryptors that drop FILEPASS and those that blank it).
std::string WorkbookDigest(const ByteVec& plainCompoundFile) {
    auto file = analysis::cfb::CompoundFile::Open(plainCompoundFile);
    auto stream = file ? file->ReadStream("Workbook") : std::nullopt;
    auto records = stream ? analysis::biff::ListRecords(*stream) : std::nullopt;
    if (!records) return "<unreadable>";
    analysis::crypto::Hasher h(analysis::crypto::HashKind::kSha1);
    for (const auto& rec : *records) {
        if (rec.id == 0x0085 || rec.id == 0x020B || rec.id == 0x00FF) continue;
        h.Update(Bytes(stream->data() + rec.offset, 2));
        h.Update(Bytes(stream->data() + rec.dataOffset(), rec.size));
    }
    return Hex(h.Finish());
}

TEST(DefaultPassword, RealDocumentsOpenThroughItAndAreScanned) {
    analysis::Analyzer analyzer;
    // RC4 and CryptoAPI workbooks, Standard and Agile packages, all with "VelvetSweatshop".
    for (const char* name : {"acj-005.xls", "phs-007.xls", "edr-007.xlsx", "edr-008.xlsx"}) {
        const ByteVec document = testfiles::CorpusFile(name);
        ASSERT_FALSE(document.empty()) << name;
        const auto verdict = analyzer.Scan(document);
        EXPECT_EQ(verdict.code, analysis::kScanClean) << name << ": " << verdict.text;
        EXPECT_EQ(analyzer.Clean(document).code, analysis::kCleanNothingToDo) << name;
    }
}

TEST(DefaultPassword, DecryptionMatchesAnIndependentDecryptor) {
    // Digests of what msoffcrypto-tool 5.0.0 decrypts these files to (sjs-014 has WRITEPROT before FILEPASS).
    const struct {
        const char* name;
        const char* password;
        const char* digest;
    } workbooks[] = {
        {"acj-005.xls", "VelvetSweatshop", "d68e767955efa44ba210b202398c44ab32c6cad9"},
        {"phs-007.xls", "VelvetSweatshop", "c3738d893688d601436665fd8d935e49afca9a8a"},
        {"sjs-014.xls", "password", "f82ec92d6245484f0f1baf49488329c4f5409791"},
    };
    for (const auto& w : workbooks) {
        auto unlocked = UnlockBytes(testfiles::CorpusFile(w.name), w.password);
        ASSERT_TRUE(unlocked) << w.name;
        EXPECT_EQ(WorkbookDigest(unlocked->plain), w.digest) << w.name;
        EXPECT_FALSE(unlocked->hiddenParts) << w.name;  // sjs-014 keeps only its properties encrypted
    }
    const struct {
        const char* name;
        const char* digest;
    } packages[] = {
        {"edr-007.xlsx", "397d9ba94131d3c8f4d41080d6ded5f73078988e"},
        {"edr-008.xlsx", "417dcc2acedba61bb229022db4ea53bb47a73e12"},
    };
    for (const auto& p : packages) {
        auto unlocked = UnlockBytes(testfiles::CorpusFile(p.name), analysis::kExcelDefaultPassword);
        ASSERT_TRUE(unlocked) << p.name;
        EXPECT_EQ(Hex(analysis::crypto::Digest(analysis::crypto::HashKind::kSha1, {unlocked->plain})), p.digest);
    }
}

TEST(DefaultPassword, XorObfuscatedExcel95WorkbookDecrypts) {
    const ByteVec document = testfiles::CorpusFile("edr-010.xls");
    EXPECT_FALSE(UnlockBytes(document, analysis::kExcelDefaultPassword));
    auto unlocked = UnlockBytes(document, "password");
    ASSERT_TRUE(unlocked);
    auto file = analysis::cfb::CompoundFile::Open(unlocked->plain);
    auto book = file->ReadStream("Book");
    ASSERT_TRUE(book);
    const std::string text(book->begin(), book->end());
    EXPECT_NE(text.find("andersnm"), std::string::npos);  // WRITEACCESS: the user who saved it
    EXPECT_NE(text.find("Sheet1"), std::string::npos);    // BOUNDSHEET name
}

// The top-level records of a PowerPoint Document stream, walked by their headers: a decrypted
// stream is records from start to end, an encrypted one is not.
bool RecordsFromStartToEnd(const ByteVec& stream, std::set<std::uint16_t>& types) {
    analysis::ByteReader r(stream);
    while (r.ok() && r.remaining() >= 8) {
        r.u16();
        types.insert(r.u16());
        r.skip(r.u32());
    }
    return r.ok() && r.atEnd();
}

// The stream with the crypt session's data (its salt and verifier) blanked.
ByteVec WithoutSessionData(ByteVec stream) {
    analysis::ByteReader r(stream);
    while (r.ok() && r.remaining() >= 8) {
        r.u16();
        const std::uint16_t type = r.u16();
        const std::uint32_t length = r.u32();
        if (type == 0x2F14 && r.remaining() >= length) std::fill_n(stream.begin() + static_cast<std::ptrdiff_t>(r.pos()), length, 0);
        r.skip(length);
    }
    return stream;
}

ByteVec StreamOf(const ByteVec& compoundFile, const char* name) {
    auto file = analysis::cfb::CompoundFile::Open(compoundFile);
    auto data = file ? file->ReadStream(name) : std::nullopt;
    return data.value_or(ByteVec{});
}

TEST(DefaultPassword, PresentationsOpenThroughPowerPointsDefaultPassword) {
    // A real presentation encrypted by PowerPoint with "hello".
    const ByteVec original = testfiles::CorpusFile("npoi-005.ppt");
    std::set<std::uint16_t> types;
    EXPECT_FALSE(RecordsFromStartToEnd(StreamOf(original, "PowerPoint Document"), types));
    auto withHello = UnlockBytes(original, "hello");
    ASSERT_TRUE(withHello);
    types.clear();
    EXPECT_TRUE(RecordsFromStartToEnd(StreamOf(withHello->plain, "PowerPoint Document"), types));
    for (std::uint16_t type : {0x03E8, 0x03EE, 0x03F0, 0x0FF5, 0x1772, 0x2F14})  // document, slide, master, edit, directory, session
        EXPECT_EQ(types.count(type), 1u) << std::hex << type;
    EXPECT_FALSE(StreamOf(withHello->plain, "EncryptedSummary").size());
    EXPECT_FALSE(UnlockBytes(original, analysis::kPowerPointDefaultPassword));

    // The same presentation under PowerPoint's default password opens to the same plain document.
    const ByteVec byDefault = WithPresentationPassword(original, "hello", analysis::kPowerPointDefaultPassword);
    auto file = analysis::cfb::CompoundFile::Open(byDefault);
    ASSERT_TRUE(file);
    auto unlocked = analysis::UnlockWithDefaultPassword(*file);
    ASSERT_TRUE(unlocked);
    EXPECT_EQ(WithoutSessionData(StreamOf(unlocked->plain, "PowerPoint Document")),
              WithoutSessionData(StreamOf(withHello->plain, "PowerPoint Document")));
    EXPECT_EQ(StreamOf(unlocked->plain, "Current User"), StreamOf(withHello->plain, "Current User"));
    analysis::Analyzer analyzer;
    EXPECT_EQ(analyzer.Scan(byDefault).code, analyzer.Scan(withHello->plain).code);
    // Excel's password does not open a presentation.
    EXPECT_FALSE(UnlockBytes(WithPresentationPassword(original, "hello", analysis::kExcelDefaultPassword), analysis::kPowerPointDefaultPassword));
}

TEST(DefaultPassword, MacrosBehindThePresentationPasswordAreFound) {
    analysis::Analyzer analyzer;
    const ByteVec virus = EncryptedPresentation({kReplicator}, analysis::kPowerPointDefaultPassword);
    const auto verdict = analyzer.Scan(virus);
    EXPECT_EQ(verdict.code, analysis::kScanInfected) << verdict.text;
    EXPECT_EQ(verdict.text, "W97M.Replicator.NormalTemplate");
    EXPECT_EQ(analyzer.Scan(EncryptedPresentation({kHarmless}, analysis::kPowerPointDefaultPassword)).code, analysis::kScanSuspected);
    EXPECT_EQ(analyzer.Scan(EncryptedPresentation({}, analysis::kPowerPointDefaultPassword)).code, analysis::kScanClean);
    // Under any other password the objects stay unreadable.
    EXPECT_EQ(analyzer.Scan(EncryptedPresentation({kReplicator}, "secret")).code, analysis::kScanEncrypted);
    // Cleaning would have to encrypt every object again: refused, the file kept.
    const auto outcome = analyzer.Clean(virus);
    EXPECT_EQ(outcome.code, analysis::kCleanFailed) << outcome.text;
    EXPECT_TRUE(outcome.bytes.empty());
    EXPECT_NE(outcome.text.find("默认密码"), std::string::npos) << outcome.text;
}

TEST(DefaultPassword, MacrosBehindTheWorkbookPasswordAreFound) {
    analysis::Analyzer analyzer;
    for (XlsEncryption how : kXlsSchemes) {
        const int scheme = static_cast<int>(how);
        EXPECT_EQ(analyzer.Scan(EncryptXls(MakeXls(), how)).code, analysis::kScanClean) << scheme;
        const auto virus = analyzer.Scan(EncryptXls(MakeXls({.modules = {kReplicator}}), how));
        EXPECT_EQ(virus.code, analysis::kScanInfected) << scheme;
        EXPECT_EQ(virus.text, "W97M.Replicator.NormalTemplate") << scheme;
        EXPECT_EQ(analyzer.Scan(EncryptXls(MakeXls({.modules = {kHarmless}}), how)).code, analysis::kScanSuspected) << scheme;
        // Excel 4.0 macro sheets live inside the encrypted records themselves.
        const auto xlm = analyzer.Scan(EncryptXls(MakeXls({.macroSheet = true, .autoOpenName = true}), how));
        EXPECT_EQ(xlm.code, analysis::kScanInfected) << scheme;
        EXPECT_EQ(xlm.text, "Heur.XLM.Runner") << scheme;
        EXPECT_EQ(analyzer.Scan(EncryptXls(MakeXls({.macroSheet = true}), how)).code, analysis::kScanSuspected) << scheme;
    }
}

TEST(DefaultPassword, Excel95WorkbooksBehindItAreRead) {
    analysis::Analyzer analyzer;
    const ByteVec plain = MakeXls5({.macroSheet = true, .autoOpenName = true});
    const ByteVec encrypted = EncryptXls(plain, XlsEncryption::kXor);
    const auto expected = analyzer.Scan(plain);
    ASSERT_NE(expected.code, analysis::kScanClean);
    const auto verdict = analyzer.Scan(encrypted);
    EXPECT_EQ(verdict.code, expected.code) << verdict.text;
    EXPECT_EQ(verdict.text, expected.text);
    EXPECT_EQ(analyzer.Scan(EncryptXls(plain, XlsEncryption::kXor, "secret")).code, analysis::kScanEncrypted);
}

TEST(DefaultPassword, MacrosBehindThePackagePasswordAreFound) {
    analysis::Analyzer analyzer;
    for (PackageEncryption how : kPackageSchemes) {
        const int scheme = static_cast<int>(how);
        const PackageKind excel = PackageKind::kExcel;
        EXPECT_EQ(analyzer.Scan(EncryptOoxml(MakePackage({.kind = excel}), how)).code, analysis::kScanClean) << scheme;
        const auto virus = analyzer.Scan(EncryptOoxml(MakePackage({.kind = excel, .modules = {kReplicator}, .macroEnabledType = true}), how));
        EXPECT_EQ(virus.code, analysis::kScanInfected) << scheme;
        EXPECT_EQ(analyzer.Scan(EncryptOoxml(MakePackage({.kind = excel, .macroEnabledType = true, .macroSheet = true}), how)).code,
                  analysis::kScanSuspected)
            << scheme;
    }
}

TEST(DefaultPassword, AnyOtherPasswordStaysEncrypted) {
    analysis::Analyzer analyzer;
    for (XlsEncryption how : kXlsSchemes) {
        const ByteVec document = EncryptXls(MakeXls({.macroSheet = true}), how, "secret");
        EXPECT_EQ(analyzer.Scan(document).code, analysis::kScanEncrypted) << static_cast<int>(how);
        EXPECT_EQ(analyzer.Clean(document).code, analysis::kCleanEncrypted) << static_cast<int>(how);
        EXPECT_TRUE(UnlockBytes(document, "secret")) << static_cast<int>(how);
    }
    for (PackageEncryption how : kPackageSchemes) {
        const ByteVec document = EncryptOoxml(MakePackage({.modules = {kHarmless}}), how, "secret");
        EXPECT_EQ(analyzer.Scan(document).code, analysis::kScanEncrypted) << static_cast<int>(how);
        EXPECT_EQ(analyzer.Clean(document).code, analysis::kCleanEncrypted) << static_cast<int>(how);
    }
    // A VBA project outside the encrypted records is still named, whatever the password.
    const auto named = analyzer.Scan(EncryptXls(MakeXls({.modules = {kReplicator}}), XlsEncryption::kRc4, "secret"));
    EXPECT_EQ(named.code, analysis::kScanInfected);
}

TEST(DefaultPassword, DecryptingIsChargedToTheScansBudget) {
    const ByteVec documents[] = {EncryptXls(MakeXls(), XlsEncryption::kRc4),
                                 EncryptOoxml(MakePackage({.kind = PackageKind::kExcel}), PackageEncryption::kStandard)};
    for (const ByteVec& document : documents) {
        analysis::WorkBudget ample = analysis::WorkBudget::ForDocument(document.size());
        EXPECT_TRUE(analysis::InspectDocument(document, ample).behindDefaultPassword);
        // Less left than the plain bytes would take: the document stays what it is, encrypted.
        analysis::WorkBudget spent = analysis::WorkBudget::ForDocument(document.size());
        spent.ChargeDecompressed(spent.decompressedLeft() - 16);
        const auto f = analysis::InspectDocument(document, spent);
        EXPECT_TRUE(f.encrypted);
        EXPECT_FALSE(f.behindDefaultPassword);
        EXPECT_TRUE(f.overBudget);
    }
}

TEST(DefaultPassword, PartsLeftInTheEncryptionStreamKeepItEncrypted) {
    analysis::Analyzer analyzer;
    const ByteVec base = EncryptXls(MakeXls(), XlsEncryption::kCryptoApi);
    const ByteVec properties = WithEncryptedSummary(base, {{"\x05SummaryInformation", true}, {"\x05" "DocumentSummaryInformation", true}});
    EXPECT_EQ(analyzer.Scan(properties).code, analysis::kScanClean);
    // An embedded object moved there could carry macros of its own: not readable, not clean.
    const ByteVec embedding = WithEncryptedSummary(base, {{"\x05SummaryInformation", true}, {"MBD0001A2B3", false}});
    EXPECT_EQ(analyzer.Scan(embedding).code, analysis::kScanEncrypted);
    EXPECT_EQ(analyzer.Clean(embedding).code, analysis::kCleanEncrypted);
}

TEST(DefaultPassword, AFilePassLongerThanItsKindAllowsIsDamage) {
    analysis::Analyzer analyzer;
    for (const XlsEncryption how : kXlsSchemes) {
        const ByteVec xls = EncryptXls(MakeXls({.macroSheet = true, .autoOpenName = true}), how);
        for (const std::size_t extra : {1u, 200u})
            EXPECT_EQ(analyzer.Scan(WithLongerFilePass(xls, extra)).code, analysis::kScanDamaged) << static_cast<int>(how) << " +" << extra;
    }
}

TEST(DefaultPassword, DamagedEncryptionDescriptionsStayEncrypted) {
    analysis::Analyzer analyzer;
    // Every byte of FILEPASS changed in turn: never a crash, never "clean".
    const ByteVec xls = EncryptXls(MakeXls({.modules = {kHarmless}}), XlsEncryption::kCryptoApi);
    auto file = analysis::cfb::CompoundFile::Open(xls);
    const ByteVec stream = *file->ReadStream("Workbook");
    const auto records = *analysis::biff::ListRecords(stream);
    const auto filePass = records[1];
    ASSERT_EQ(filePass.id, 0x002F);
    for (std::size_t i = 0; i < filePass.size; ++i) {
        ByteVec damaged = stream;
        damaged[filePass.dataOffset() + i] ^= 0x5A;
        const ByteVec document = *analysis::cfb::RewriteWith(*file, {{"Workbook", damaged}});
        const int code = analyzer.Scan(document).code;
        EXPECT_TRUE(code == analysis::kScanEncrypted || code == analysis::kScanSuspected) << i << ": " << code;
    }
    // Agile descriptions with a cut XML, a spin count beyond reason, and a missing stream.
    const ByteVec package = EncryptOoxml(MakePackage({.modules = {kHarmless}}), PackageEncryption::kAgile);
    auto encrypted = analysis::cfb::CompoundFile::Open(package);
    const ByteVec info = *encrypted->ReadStream("EncryptionInfo");
    std::string xml(info.begin() + 8, info.end());
    const std::vector<std::string> variants = {
        xml.substr(0, xml.size() / 2),
        [&] {
            std::string x = xml;
            x.replace(x.find("spinCount=\"100000\""), 18, "spinCount=\"999999999\"");
            return x;
        }(),
        [&] {
            std::string x = xml;
            x.replace(x.find("hashAlgorithm=\"SHA512\""), 22, "hashAlgorithm=\"WHIRL\"");
            return x;
        }(),
    };
    for (const std::string& variant : variants) {
        const std::string whole = std::string(info.begin(), info.begin() + 8) + variant;
        const ByteVec damagedInfo(whole.begin(), whole.end());
        const ByteVec document = *analysis::cfb::RewriteWith(*encrypted, {{"EncryptionInfo", damagedInfo}});
        EXPECT_EQ(analyzer.Scan(document).code, analysis::kScanEncrypted);
    }
    const ByteVec truncatedPackage = *analysis::cfb::RewriteWith(*encrypted, {{"EncryptedPackage", ByteVec(20, 1)}});
    EXPECT_EQ(analyzer.Scan(truncatedPackage).code, analysis::kScanEncrypted);
}

}  // namespace
