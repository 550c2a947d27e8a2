// The quarantine store on disk: backups, restores, deletions and their failure paths.
#include "QuarantineTestSupport.h"

#include "ClsQuarantine.h"
#include "ClsQuarantineXor.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

#include <gmock/gmock.h>

namespace tessaly::test {
namespace {

using ::testing::ElementsAre;

class QuarantineStoreTest : public QuarantineFolderTest {
protected:
    // The index as records, read the way the store reads it.
    std::vector<QuarantineRecord> DiskRecords() const {
        std::vector<QuarantineRecord> records;
        quarantine::ReadIndexFile(IndexPath(), records);
        return records;
    }
    std::wstring DigestOf(const std::string& documentBytes) const {
        const std::wstring probe = m_root + L"\\probe.bin";
        WriteBytes(probe, Scrambled(documentBytes));
        return quarantine::ReadBackDigest(probe);
    }
    // Which file the index is: a rewrite renames a new one into its place.
    ULONGLONG IndexFileId() const {
        unique_file file(::CreateFileW(IndexPath().c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (!file || !::GetFileInformationByHandle(file.get(), &info)) return 0;
        return (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    std::string LineOf(const std::wstring& doc, std::size_t size, const std::string& content) const {
        return WideToAnsi(GetDateText()) + "::" + std::to_string(size) + "::" + WideToAnsi(DigestOf(content)) + "::" +
               WideToAnsi(doc) + "\r\n";
    }
};

TEST_F(QuarantineStoreTest, StoresScrambledCopyUnderItsDigestAndRestoresItByteForByte) {
    const std::string content = MakeContent(32768 * 2 + 5, 1);  // two full blocks and five bytes
    const std::wstring doc = MakeDoc(L"report.doc", content);
    const std::wstring digest = DigestOf(content);
    {
        ClsQuarantine store;
        ASSERT_TRUE(store.QuarantineFile(doc)) << WideToUtf8(store.LastErrMsg());
        EXPECT_EQ(store.QuarantineFileCount(), 1);
        EXPECT_FLOAT_EQ(store.QuarantineSize(), static_cast<float>(content.size()) / 1024.0f / 1024.0f);
    }
    EXPECT_EQ(ReadBytes(StoredCopy(digest)), Scrambled(content));
    EXPECT_FALSE(Exists(StoreFolder() + L"\\tmp.tmp"));
    const std::string expectedLine = WideToAnsi(GetDateText()) + "::65541::" + WideToAnsi(digest) + "::" +
                                     WideToAnsi(doc) + "\r\n";
    EXPECT_EQ(ReadBytes(IndexPath()), expectedLine);

    WriteBytes(doc, "cleaned");
    ClsQuarantine store;  // a new object reads the index from disk
    std::wstring failed = L"x";
    ASSERT_TRUE(store.RestoreQuarantineFiles({doc}, failed));
    EXPECT_EQ(failed, L"");
    EXPECT_EQ(ReadBytes(doc), content);
    EXPECT_FALSE(Exists(IndexPath())) << "the index exists only while the store has records";
    EXPECT_FALSE(Exists(StoredCopy(digest)));
    EXPECT_EQ(store.QuarantineFileCount(), 0);
}

TEST_F(QuarantineStoreTest, MissingDocumentIsRefusedAndLeavesNothingBehind) {
    ClsQuarantine store;
    EXPECT_FALSE(store.QuarantineFile(Doc(L"absent.doc")));
    EXPECT_EQ(store.LastErrMsg(), L"目标文件不存在");
    EXPECT_FALSE(store.QuarantineFile(DocsFolder())) << "a folder is no document";
    EXPECT_FALSE(Exists(IndexPath()));
    EXPECT_EQ(StoredCopyCount(), 0);
}

TEST_F(QuarantineStoreTest, UnreadableDocumentFailsTheBackup) {
    const std::wstring doc = MakeDoc(L"locked.doc", MakeContent(100, 2));
    unique_file exclusive(::CreateFileW(doc.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(exclusive.valid());
    ClsQuarantine store;
    EXPECT_FALSE(store.QuarantineFile(doc));
    EXPECT_EQ(store.LastErrMsg(), L"备份文件加密处理失败");
    EXPECT_FALSE(Exists(StoreFolder() + L"\\tmp.tmp"));
    EXPECT_FALSE(Exists(IndexPath()));
    EXPECT_EQ(StoredCopyCount(), 0);
}

TEST_F(QuarantineStoreTest, SameContentSharesOneCopyUntilTheLastRecordGoes) {
    const std::string content = MakeContent(500, 3);
    const std::wstring a = MakeDoc(L"a.doc", content);
    const std::wstring b = MakeDoc(L"b.doc", content);
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(a));
    ASSERT_TRUE(store.QuarantineFile(a));  // again, same content: still one record
    ASSERT_TRUE(store.QuarantineFile(b));
    EXPECT_EQ(DiskRecords().size(), 2u);
    EXPECT_EQ(StoredCopyCount(), 1);

    store.DeleteQuarantineFiles({a, Doc(L"not-stored.doc")});
    EXPECT_EQ(StoredCopyCount(), 1) << "b still holds the copy";
    ASSERT_EQ(DiskRecords().size(), 1u);
    EXPECT_EQ(DiskRecords()[0].SourcePath, b);

    store.DeleteQuarantineFiles({b});
    EXPECT_EQ(StoredCopyCount(), 0);
    EXPECT_FALSE(Exists(IndexPath()));
}

TEST_F(QuarantineStoreTest, ChangedDocumentReplacesItsRecordAndItsOldCopy) {
    const std::string first = MakeContent(300, 4);
    const std::string second = MakeContent(400, 5);
    const std::wstring doc = MakeDoc(L"c.doc", first);
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(doc));
    WriteBytes(doc, second);
    ASSERT_TRUE(store.QuarantineFile(doc));
    const auto records = DiskRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].StoredHash, DigestOf(second));
    EXPECT_EQ(records[0].SourceSize, 400);
    EXPECT_FALSE(Exists(StoredCopy(DigestOf(first))));
    EXPECT_TRUE(Exists(StoredCopy(DigestOf(second))));
}

TEST_F(QuarantineStoreTest, DamagedStoredCopyWithTheSameNameIsReplacedByAGoodOne) {
    const std::string content = MakeContent(1000, 6);
    const std::wstring digest = DigestOf(content);
    ClsQuarantine store;
    WriteBytes(StoredCopy(digest), "garbage");
    ASSERT_TRUE(store.QuarantineFile(MakeDoc(L"d.doc", content)));
    EXPECT_EQ(ReadBytes(StoredCopy(digest)), Scrambled(content));
}

TEST_F(QuarantineStoreTest, EmptyDocumentsCountAsNoFiles) {
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(MakeDoc(L"empty.doc", "")));
    EXPECT_EQ(DiskRecords().size(), 1u);
    EXPECT_EQ(store.QuarantineFileCount(), 0);
    std::vector<std::wstring> texts{L"untouched"};
    EXPECT_FALSE(store.GetRecords(texts));
    EXPECT_THAT(texts, ElementsAre(L"untouched"));
}

TEST_F(QuarantineStoreTest, HandWrittenIndexSkipsMalformedLinesAndActsOnTheLaterDuplicate) {
    const std::string older = MakeContent(200, 7);
    const std::string newer = MakeContent(210, 8);
    const std::wstring doc = Doc(L"dup.doc");
    const std::string h1 = WideToAnsi(DigestOf(older));
    const std::string h2 = WideToAnsi(DigestOf(newer));
    ::CreateDirectoryW(StoreFolder().c_str(), nullptr);
    WriteBytes(StoredCopy(Utf8ToWide(h1)), Scrambled(older));
    WriteBytes(StoredCopy(Utf8ToWide(h2)), Scrambled(newer));
    const std::string d = WideToAnsi(doc);
    WriteBytes(IndexPath(), "01-02-2021::200::" + h1 + "::" + d + "\r\n" +
                                "01-02-2021::1::" + h1 + "\r\n" +              // three parts
                                "0123456789\r\n" +                              // ten characters
                                "   03-04-2021::12ab::" + h2 + "::" + d + "  \r\n");  // size not a number
    {
        ClsQuarantine store;
        std::vector<std::wstring> texts;
        ASSERT_TRUE(store.GetRecords(texts));
        EXPECT_THAT(texts, ElementsAre(L"01-02-2021::" + doc, L"03-04-2021::" + doc));
        std::wstring failed;
        ASSERT_TRUE(store.RestoreQuarantineFiles({doc}, failed));
        EXPECT_EQ(ReadBytes(doc), newer) << "the later line wins";
        ASSERT_EQ(DiskRecords().size(), 1u);
        EXPECT_EQ(DiskRecords()[0].SourceSize, 200);
    }
    // Storing the path again replaces the remaining (earlier) line rather than adding one.
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(doc));
    const auto records = DiskRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].StoredHash, DigestOf(newer));
    EXPECT_FALSE(Exists(StoredCopy(Utf8ToWide(h1)))) << "no record holds the older copy any more";
}

// A clean run stores one document after another: each new path only adds its line, however long
// the index is, and a line written by hand without its end stays whole. Replacing a record still
// rewrites the index, which then drops what it cannot read.
TEST_F(QuarantineStoreTest, NewPathAddsItsLineToTheIndexInPlaceAndAReplacedOneRewritesIt) {
    const std::string old = MakeContent(150, 20);
    ::CreateDirectoryW(StoreFolder().c_str(), nullptr);
    WriteBytes(StoredCopy(DigestOf(old)), Scrambled(old));
    const std::string handWritten = "not a record\r\n01-02-2021::150::" + WideToAnsi(DigestOf(old)) + "::" +
                                    WideToAnsi(Doc(L"old.doc"));  // no line end
    WriteBytes(IndexPath(), handWritten);
    const ULONGLONG id = IndexFileId();
    ASSERT_NE(id, 0u);

    ClsQuarantine store;
    const std::string a = MakeContent(300, 21), b = MakeContent(310, 22);
    ASSERT_TRUE(store.QuarantineFile(MakeDoc(L"a.doc", a)));
    ASSERT_TRUE(store.QuarantineFile(MakeDoc(L"b.doc", b)));
    EXPECT_EQ(IndexFileId(), id) << "the index was replaced instead of added to";
    EXPECT_EQ(ReadBytes(IndexPath()), handWritten + "\r\n" + LineOf(Doc(L"a.doc"), 300, a) + LineOf(Doc(L"b.doc"), 310, b));
    EXPECT_EQ(store.QuarantineFileCount(), 3);

    const std::string changed = MakeContent(320, 23);
    WriteBytes(Doc(L"a.doc"), changed);
    ASSERT_TRUE(store.QuarantineFile(Doc(L"a.doc")));
    const auto records = DiskRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].SourcePath, Doc(L"a.doc"));
    EXPECT_EQ(records[1].StoredHash, DigestOf(changed));
    EXPECT_EQ(ReadBytes(IndexPath()).find("not a record"), std::string::npos);
    EXPECT_FALSE(Exists(StoredCopy(DigestOf(a))));
    EXPECT_EQ(store.QuarantineFileCount(), 3);
}

TEST_F(QuarantineStoreTest, RestoreOfAnEditedCopyFailsAndTouchesNothing) {
    const std::string content = MakeContent(700, 9);
    const std::wstring doc = MakeDoc(L"e.doc", content);
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(doc));
    WriteBytes(doc, "cleaned");
    WriteBytes(StoredCopy(DigestOf(content)), Scrambled(content) + "x");
    std::wstring failed;
    EXPECT_FALSE(store.RestoreQuarantineFiles({doc}, failed));
    EXPECT_EQ(failed, doc);
    EXPECT_EQ(ReadBytes(doc), "cleaned");
    EXPECT_EQ(DiskRecords().size(), 1u);
}

TEST_F(QuarantineStoreTest, RestoreStopsAtTheFirstFailureAndKeepsWhatCameBefore) {
    const std::string c1 = MakeContent(100, 10), c2 = MakeContent(110, 11), c3 = MakeContent(120, 12);
    const std::wstring p1 = MakeDoc(L"1.doc", c1), p2 = MakeDoc(L"2.doc", c2), p3 = MakeDoc(L"3.doc", c3);
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(p1));
    ASSERT_TRUE(store.QuarantineFile(p2));
    ASSERT_TRUE(store.QuarantineFile(p3));
    for (const auto& p : {p1, p2, p3}) WriteBytes(p, "cleaned");
    ASSERT_TRUE(::DeleteFileW(StoredCopy(DigestOf(c2)).c_str()));  // removed by hand

    std::wstring failed;
    EXPECT_FALSE(store.RestoreQuarantineFiles({p1, p2, p3}, failed));
    EXPECT_EQ(failed, p2);
    EXPECT_EQ(ReadBytes(p1), c1);
    EXPECT_EQ(ReadBytes(p3), "cleaned");
    const auto records = DiskRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].SourcePath, p2);
    EXPECT_EQ(records[1].SourcePath, p3);
    EXPECT_EQ(store.QuarantineFileCount(), 2);
}

TEST_F(QuarantineStoreTest, RestoreIntoAMissingFolderFailsAndKeepsTheBackup) {
    const std::wstring folder = Doc(L"gone");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::string content = MakeContent(90, 13);
    const std::wstring doc = folder + L"\\f.doc";
    WriteBytes(doc, content);
    ClsQuarantine store;
    ASSERT_TRUE(store.QuarantineFile(doc));
    ::DeleteFileW(doc.c_str());
    ::RemoveDirectoryW(folder.c_str());
    std::wstring failed;
    EXPECT_FALSE(store.RestoreQuarantineFiles({doc}, failed));
    EXPECT_EQ(failed, doc);
    EXPECT_EQ(DiskRecords().size(), 1u);
    EXPECT_TRUE(Exists(StoredCopy(DigestOf(content))));
}

TEST_F(QuarantineStoreTest, UnknownPathRestoresNothing) {
    ClsQuarantine store;
    std::wstring failed;
    EXPECT_FALSE(store.RestoreQuarantineFiles({Doc(L"never.doc")}, failed));
    EXPECT_EQ(failed, Doc(L"never.doc"));
}

TEST_F(QuarantineStoreTest, IndexThatCannotBeWrittenFailsTheBackupSoNothingIsCleaned) {
    ClsQuarantine store;
    ASSERT_TRUE(::CreateDirectoryW(IndexPath().c_str(), nullptr));  // a folder in the index's place
    EXPECT_FALSE(store.QuarantineFile(MakeDoc(L"g.doc", MakeContent(100, 14))));
    EXPECT_EQ(store.LastErrMsg(), L"保存隔离记录失败");
    EXPECT_EQ(StoredCopyCount(), 0) << "a copy no record names is not kept";
}

TEST_F(QuarantineStoreTest, StoreCannotBeMadeWithoutItsFolder) {
    WriteBytes(StoreFolder(), "a file where the folder should be");
    EXPECT_THROW(ClsQuarantine store, std::runtime_error);
}

TEST_F(QuarantineStoreTest, DigestFromADiskLineNeverNamesAFileOutsideTheStore) {
    const std::wstring victim = m_root + L"\\victim.txt";
    WriteBytes(victim, "keep me");
    const std::wstring doc = Doc(L"h.doc");
    WriteBytes(IndexPath(), "01-02-2021::5::..\\..\\victim.txt::" + WideToAnsi(doc) + "\r\n");
    ClsQuarantine store;
    store.DeleteQuarantineFiles({doc});
    EXPECT_EQ(ReadBytes(victim), "keep me");
    EXPECT_FALSE(Exists(IndexPath()));
}

TEST_F(QuarantineStoreTest, TwoObjectsInOneProgramKeepEachOthersRecords) {
    ClsQuarantine early;  // read the empty index before the other object wrote
    ClsQuarantine other;
    ASSERT_TRUE(other.QuarantineFile(MakeDoc(L"i.doc", MakeContent(100, 15))));
    ASSERT_TRUE(early.QuarantineFile(MakeDoc(L"j.doc", MakeContent(100, 16))));
    EXPECT_EQ(DiskRecords().size(), 2u);
    EXPECT_EQ(early.QuarantineFileCount(), 2);
    early.DeleteQuarantineFiles({Doc(L"j.doc")});
    ASSERT_EQ(DiskRecords().size(), 1u);
    EXPECT_EQ(DiskRecords()[0].SourcePath, Doc(L"i.doc"));
}

}  // namespace
}  // namespace tessaly::test
