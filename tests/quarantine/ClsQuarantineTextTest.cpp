// Paths in the code-page index: Chinese paths stay in the old line format, paths the code page
// cannot hold go escaped and come back exactly, and lines written the old way read as before.
#include "QuarantineTestSupport.h"

#include "ClsQuarantine.h"
#include "ClsQuarantineIndex.h"
#include "ClsQuarantineXor.h"
#include "TextConvert.h"

namespace tessaly::test {
namespace {

using quarantine::EscapePath;
using quarantine::FormatIndexLine;
using quarantine::ParseIndexLine;
using quarantine::PathNeedsEscape;
using quarantine::UnescapePath;

QuarantineRecord Record(const std::wstring& path, std::int64_t size = 48640) {
    return QuarantineRecord{L"03-14-2021", size, L"0123456789ABCDEF0123456789ABCDEF", path};
}

TEST(QuarantineIndexLine, KeepsTheOldFormatForPathsTheCodePageHolds) {
    EXPECT_EQ(FormatIndexLine(Record(L"C:\\Users\\a\\Documents\\report.doc")),
              L"03-14-2021::48640::0123456789ABCDEF0123456789ABCDEF::C:\\Users\\a\\Documents\\report.doc");
    const std::wstring chinese = Utf8("C:\\资料\\报告 100%.doc");
    EXPECT_FALSE(PathNeedsEscape(chinese));
    EXPECT_EQ(FormatIndexLine(Record(chinese, 0)), L"03-14-2021::0::0123456789ABCDEF0123456789ABCDEF::" + chinese);
}

TEST(QuarantineIndexLine, EscapesWhatTheLineCannotCarryAndDecodesItExactly) {
    const std::wstring cases[] = {
        Utf8("C:\\docs\\ก ข.doc"),                   // Thai: outside code page 936
        Utf8("C:\\docs\\😀\\100%u0041.doc"),         // beyond U+FFFF, and a "%" that looks like an escape
        L"C:\\docs\\a.doc::$DATA",                    // "::" would split the line
        L"C:\\docs\\trailing.doc  ",                  // blanks the line trim would eat
        L"C:\\docs\\tab\there.doc",
        Utf8("C:\\docs\\Győr.doc"),                   // best-fit would turn it into "Gyor"
    };
    for (const std::wstring& path : cases) {
        SCOPED_TRACE(WideToUtf8(path));
        ASSERT_TRUE(PathNeedsEscape(path));
        const std::wstring line = FormatIndexLine(Record(path));
        EXPECT_TRUE(FitsAnsiCodePage(line));
        EXPECT_NE(line.find(L"::048640::"), std::wstring::npos) << "size carries the marker";
        QuarantineRecord back;
        ASSERT_TRUE(ParseIndexLine(AnsiToWide(WideToAnsi(line)), back));
        EXPECT_EQ(back.SourcePath, path);
        EXPECT_EQ(back.SourceSize, 48640);
    }
    EXPECT_EQ(EscapePath(Utf8("C:\\ก%.doc")), L"C:\\%u0E01%u0025.doc");
    EXPECT_EQ(FormatIndexLine(Record(Utf8("C:\\ก.doc"), 0)).substr(10, 6), L"::00::");
}

TEST(QuarantineIndexLine, LinesWrittenTheOldWayReadLiterally) {
    QuarantineRecord record;
    ASSERT_TRUE(ParseIndexLine(L"03-14-2021::48640::0123456789ABCDEF0123456789ABCDEF::C:\\x\\100%u0041.doc", record));
    EXPECT_EQ(record.SourcePath, L"C:\\x\\100%u0041.doc") << "no marker: nothing is decoded";
    ASSERT_TRUE(ParseIndexLine(L"03-14-2021::-7::HASH::C:\\y.doc", record));
    EXPECT_EQ(record.SourceSize, -7);
    EXPECT_EQ(UnescapePath(L"C:\\%u00\\%zz%u0041"), L"C:\\%u00\\%zzA") << "broken escapes stay";
}

class QuarantinePathTest : public QuarantineFolderTest {};

TEST_F(QuarantinePathTest, ChinesePathIsStoredInTheCodePageAndRestoredExactly) {
    const std::wstring folder = Doc(Utf8("中文目录"));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring doc = folder + Utf8("\\报告.doc");
    const std::string content = MakeContent(4000, 21);
    ASSERT_TRUE(WriteBytes(doc, content));
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(doc));
    const std::string disk = ReadBytes(IndexPath());
    EXPECT_NE(disk.find("::4000::"), std::string::npos);
    EXPECT_NE(disk.find(WideToAnsi(doc) + "\r\n"), std::string::npos) << "the path in code page 936 bytes";
    EXPECT_NE(disk.find("\xB1\xA8\xB8\xE6"), std::string::npos) << "报告 in GBK";
    WriteBytes(doc, "cleaned");
    std::wstring failed;
    ASSERT_TRUE(store.RestoreQuarantineFiles({doc}, failed));
    EXPECT_EQ(ReadBytes(doc), content);
}

TEST_F(QuarantinePathTest, PathOutsideTheCodePageIsRestoredToExactlyThatPath) {
    const std::wstring folder = Doc(Utf8("ไทย"));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring doc = folder + Utf8("\\한국어 😀.doc");
    const std::string content = MakeContent(5000, 22);
    ASSERT_TRUE(WriteBytes(doc, content));
    {
        ClsQuarantine store;
        ASSERT_TRUE(store.QuarantineFile(doc)) << WideToUtf8(store.LastErrMsg());
        std::vector<std::wstring> texts;
        ASSERT_TRUE(store.GetRecords(texts));
        EXPECT_EQ(texts.at(0).substr(12), doc);
    }
    const std::string disk = ReadBytes(IndexPath());
    EXPECT_EQ(disk.find('?'), std::string::npos) << disk;
    EXPECT_NE(disk.find("::05000::"), std::string::npos) << disk;
    ASSERT_TRUE(::DeleteFileW(doc.c_str()));

    ClsQuarantine store;  // read back from disk
    std::wstring failed;
    ASSERT_TRUE(store.RestoreQuarantineFiles({doc}, failed)) << WideToUtf8(failed);
    EXPECT_EQ(ReadBytes(doc), content);
}

TEST_F(QuarantinePathTest, OldIndexWithAChinesePathIsRestored) {
    const std::string content = MakeContent(333, 23);
    const std::wstring doc = Doc(Utf8("旧文档.xls"));
    ::CreateDirectoryW(StoreFolder().c_str(), nullptr);
    const std::wstring probe = m_root + L"\\probe.bin";
    WriteBytes(probe, Scrambled(content));
    const std::wstring digest = quarantine::ReadBackDigest(probe);
    WriteBytes(StoredCopy(digest), Scrambled(content));
    WriteBytes(IndexPath(), "12-31-2020::333::" + WideToAnsi(digest) + "::" + WideToAnsi(doc) + "\r\n");
    ClsQuarantine store;
    EXPECT_EQ(store.QuarantineFileCount(), 1);
    std::wstring failed;
    ASSERT_TRUE(store.RestoreQuarantineFiles({doc}, failed));
    EXPECT_EQ(ReadBytes(doc), content);
}

}  // namespace
}  // namespace tessaly::test
