// The walk and the per-file filters over folders made on disk, with every engine request recorded.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>

#include "FolderLink.h"
#include "ScanPageFilters.h"
#include "ScanPageTestSupport.h"
#include "TextConvert.h"
#include "UniqueHandle.h"

namespace tessaly::test {
namespace {

class WalkTest : public ScanPageFolderTest {
protected:
    void SetUp() override {
        ScanPageFolderTest::SetUp();
        work.SetEngineLink(&link);
        work.RequestOptions() = QuickRequestOptions();
        work.LogPath = Path(L"scan.log");
    }
    bool WasSent(const std::wstring& path) const {
        const std::wstring request = L"SCAN::" + ToEnginePathForTest(path);
        return std::find(link.sent.begin(), link.sent.end(), request) != link.sent.end();
    }
    static std::wstring ToEnginePathForTest(std::wstring path) {
        std::replace(path.begin(), path.end(), L'\\', L'/');
        return path;
    }

    RecordingView view;
    ScriptedLink link{ReplyByName([](const std::wstring&) { return std::wstring(L"0::"); })};
    ScanPageWork work{view};
};

TEST_F(WalkTest, SizeBoundariesAreCountedButOnlyTheRangeIsSent) {
    WriteFile(L"d\\small.docx", FileBytes(ZipHeader(), 99));
    WriteFile(L"d\\edge.docx", FileBytes(ZipHeader(), 100));
    ASSERT_TRUE(work.ScanFolder(Path(L"d"), true));
    EXPECT_EQ(work.Results.TotalCount, 2);
    EXPECT_EQ(view.counters[kCounterTotal], 2);
    EXPECT_FALSE(WasSent(Path(L"d\\small.docx")));
    EXPECT_TRUE(WasSent(Path(L"d\\edge.docx")));
}

TEST_F(WalkTest, TrueSizeAboveFourGiBIsNotMistakenForSmallFile) {
    // 4 GiB + 200 bytes: the low 32 bits alone would read as a 200-byte document.
    const std::wstring big = Path(L"big.docx");
    {
        unique_file file(
            ::CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD unused = 0;
        ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
        LARGE_INTEGER size{};
        size.QuadPart = (std::int64_t{1} << 32) + 200;
        ASSERT_TRUE(::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.get()));
    }
    EXPECT_EQ(CheckScanCandidate(big, true), ScanFileVerdict::Skip);
    EXPECT_FALSE(IsScanSizeInRange(kScanMaxFileSize + 1));
    EXPECT_TRUE(IsScanSizeInRange(kScanMaxFileSize));
    ::DeleteFileW(big.c_str());
}

TEST_F(WalkTest, HeadersDecideForBinaryTypesAndUncheckedExtensions) {
    WriteFile(L"h\\plain.doc", FileBytes("just text", 200));
    WriteFile(L"h\\ole.doc", FileBytes(Ole2Header(), 200));
    WriteFile(L"h\\any.docx", FileBytes("not a zip", 200));
    WriteFile(L"h\\zip.bin", FileBytes(ZipHeader(), 200));
    WriteFile(L"h\\nodot", FileBytes(ZipHeader(), 200));
    ASSERT_TRUE(work.ScanFolder(Path(L"h"), false));
    EXPECT_EQ(work.Results.TotalCount, 5);
    EXPECT_FALSE(WasSent(Path(L"h\\plain.doc")));
    EXPECT_TRUE(WasSent(Path(L"h\\ole.doc")));
    EXPECT_TRUE(WasSent(Path(L"h\\any.docx")));
    EXPECT_TRUE(WasSent(Path(L"h\\zip.bin")));  // extension not checked: the header counts
    EXPECT_FALSE(WasSent(Path(L"h\\nodot")));

    link.sent.clear();
    ASSERT_TRUE(work.ScanFolder(Path(L"h"), true));
    EXPECT_FALSE(WasSent(Path(L"h\\zip.bin")));
}

TEST_F(WalkTest, DotNamesAreSkippedByTheWalkButNotWhenGivenDirectly) {
    WriteFile(L"w\\.doc", FileBytes(Ole2Header(), 200));
    ASSERT_TRUE(work.ScanFolder(Path(L"w"), true));
    EXPECT_EQ(work.Results.TotalCount, 0);
    // Wine always reports dot files as hidden, so the direct road is checked at the filters.
    EXPECT_EQ(ScanDocumentType(Path(L"w\\.doc")), 1);
    EXPECT_EQ(CheckScanCandidate(Path(L"w\\.doc"), true), ScanFileVerdict::Send);
}

TEST_F(WalkTest, HiddenFilesAreDroppedAndMissingFilesNotCounted) {
    WriteFile(L"x\\hidden.docx", FileBytes(ZipHeader(), 200));
    ::SetFileAttributesW(Path(L"x\\hidden.docx").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(work.ScanFolder(Path(L"x"), true));
    ASSERT_TRUE(work.ScanFile(Path(L"x\\missing.docx"), true));
    EXPECT_EQ(work.Results.TotalCount, 0);
    ::SetFileAttributesW(Path(L"x\\hidden.docx").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(SkippedFolderTest, RecycleFoldersAreCaseSensitiveAndNeedTheTrailingSlash) {
    EXPECT_TRUE(IsSkippedFolder(L"C:\\$RECYCLE.BIN\\S-1-5\\"));
    EXPECT_TRUE(IsSkippedFolder(L"D:\\RECYCLER\\x"));
    EXPECT_TRUE(IsSkippedFolder(L"C:\\System Volume Information\\a"));
    EXPECT_FALSE(IsSkippedFolder(L"C:\\$Recycle.Bin\\S-1-5"));
    EXPECT_FALSE(IsSkippedFolder(L"C:\\$RECYCLE.BIN"));
    EXPECT_FALSE(IsSkippedFolder(L"C:\\data\\RECYCLER\\x"));
}

TEST_F(WalkTest, PathsAbove127CharactersGoOutInTheirShortForm) {
    std::wstring base = Path(L"");
    std::wstring folder = L"a_rather_long_folder_name_for_short_forms";
    // Fill the path to exactly 127 and 128 characters with the file name.
    auto fileOf = [&](std::size_t total) {
        const std::wstring dir = base + folder + L"\\";
        const std::size_t nameLength = total - dir.size() - 5;
        return dir + std::wstring(nameLength, L'n') + L".docx";
    };
    const std::wstring at127 = fileOf(127), at128 = fileOf(128);
    ASSERT_EQ(at127.size(), 127u);
    ASSERT_EQ(at128.size(), 128u);
    WriteFile(at127.substr(base.size()), FileBytes(ZipHeader(), 200));
    WriteFile(at128.substr(base.size()), FileBytes(ZipHeader(), 200));

    std::wstring shortPath;
    ASSERT_TRUE(GetShortPathIfLong(at127, shortPath));
    EXPECT_EQ(shortPath, at127);
    ASSERT_TRUE(GetShortPathIfLong(at128, shortPath));
    EXPECT_LT(shortPath.size(), at128.size());

    ASSERT_TRUE(work.ScanFolder(base + folder, true));
    EXPECT_EQ(work.Results.TotalCount, 2);
    EXPECT_TRUE(WasSent(at127));
    EXPECT_FALSE(WasSent(at128));
    EXPECT_TRUE(WasSent(shortPath));
}

TEST_F(WalkTest, CancelStopsTheWalkAtTheNextEntry) {
    for (int i = 0; i < 5; ++i) WriteFile(L"c\\f" + std::to_wstring(i) + L".docx", FileBytes(ZipHeader(), 200));
    int pumps = 0;
    work.RequestOptions().pumpEvents = [&] {
        if (++pumps == 3) work.BreakScanClean = true;
    };
    ASSERT_TRUE(work.ScanFolder(Path(L"c"), true));
    EXPECT_LT(work.Results.TotalCount, 5);
}

// Links are followed, but no folder is walked twice in one walk: a link back to a parent ends at
// once, and a folder reached by two roads is scanned through the first.
class LinkedWalkTest : public WalkTest {
protected:
    void TearDown() override {
        for (const std::wstring& link : links) RemoveFolderLink(link);
        WalkTest::TearDown();
    }
    bool Link(const std::wstring& relative, const std::wstring& targetRelative) {
        links.push_back(Path(relative));
        return MakeFolderLink(Path(relative), Path(targetRelative));
    }
    int SentCount() const { return static_cast<int>(link.sent.size()); }
    std::vector<std::wstring> links;
};

TEST_F(LinkedWalkTest, LinkBackToAParentEndsTheWalkThere) {
    WriteFile(L"loop\\in\\a.docx", FileBytes(ZipHeader(), 200));
    if (!Link(L"loop\\in\\back", L"loop")) GTEST_SKIP() << "no folder links here";
    ASSERT_TRUE(work.ScanFolder(Path(L"loop"), true));
    EXPECT_EQ(work.Results.TotalCount, 1);
    EXPECT_EQ(SentCount(), 1);
    EXPECT_TRUE(WasSent(Path(L"loop\\in\\a.docx")));

    // A new walk remembers nothing of the last one.
    ASSERT_TRUE(work.ScanFolder(Path(L"loop\\in"), true));
    EXPECT_EQ(work.Results.TotalCount, 2);
}

TEST_F(LinkedWalkTest, DocumentsBehindALinkAreScannedOnceWhateverTheRoads) {
    WriteFile(L"elsewhere\\b.docx", FileBytes(ZipHeader(), 200));
    MakeDir(L"root");
    if (!Link(L"root\\first", L"elsewhere") || !Link(L"root\\second", L"elsewhere"))
        GTEST_SKIP() << "no folder links here";
    ASSERT_TRUE(work.ScanFolder(Path(L"root"), true));
    EXPECT_EQ(work.Results.TotalCount, 1);
    ASSERT_EQ(SentCount(), 1);
    EXPECT_TRUE(WasSent(Path(L"root\\first\\b.docx")) || WasSent(Path(L"root\\second\\b.docx")));
}

TEST(DisplayTextTest, SeventyCharactersShowInFullSeventyOneShortened) {
    const std::wstring seventy(70, L'a');
    EXPECT_EQ(ScanPathDisplayText(seventy), seventy);
    std::wstring seventyOne = std::wstring(25, L'b') + std::wstring(16, L'm') + std::wstring(30, L'e');
    const std::wstring shown = ScanPathDisplayText(seventyOne);
    EXPECT_EQ(shown.size(), 58u);
    EXPECT_EQ(shown, std::wstring(25, L'b') + L"..." + std::wstring(30, L'e'));
}

TEST(DocumentTypeTest, ExtensionsByType) {
    EXPECT_EQ(ScanDocumentType(L"C:\\a\\B.DOC"), 1);
    EXPECT_EQ(ScanDocumentType(L"C:\\a\\b.xlm"), 1);
    EXPECT_EQ(ScanDocumentType(L"C:\\a\\b.XLAM"), 2);
    EXPECT_EQ(ScanDocumentType(L"C:\\a\\b.dotm"), 2);
    EXPECT_EQ(ScanDocumentType(L"C:\\a\\b.txt"), 0);
    EXPECT_EQ(ScanDocumentType(L"C:\\a.b\\noext"), -1);
    EXPECT_EQ(ScanDocumentType(L".doc"), 1);
}

}  // namespace
}  // namespace tessaly::test
