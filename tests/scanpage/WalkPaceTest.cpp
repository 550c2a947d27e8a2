// The pace of the walk: the path and the file counter on view follow the walk at a readable pace
// and are up to date when it ends, a document that keeps the engine busy comes on view meanwhile,
// and the listing's own facts decide which files are looked at.
#include <windows.h>

#include <chrono>

#include "BoundedPoll.h"
#include "ScanPageFilters.h"
#include "ScanPageTestSupport.h"

namespace tessaly::test {
namespace {

class WalkPaceTest : public ScanPageFolderTest {
protected:
    void SetUp() override {
        ScanPageFolderTest::SetUp();
        work.LogPath = Path(L"scan.log");
    }
    RecordingView view;
    ScanPageWork work{view};
};

TEST_F(WalkPaceTest, ProgressFollowsAtAPaceAndIsCurrentWhenTheWalkEnds) {
    ScriptedLink link{ReplyByName([](const std::wstring&) { return std::wstring(L"0::"); })};
    work.SetEngineLink(&link);
    work.RequestOptions() = QuickRequestOptions();
    constexpr int kFiles = 400;
    for (int i = 0; i < kFiles; ++i) WriteFile(L"many\\file" + std::to_wstring(i) + L".txt", std::string(150, 'x'));
    ASSERT_TRUE(work.ScanFolder(Path(L"many"), false));
    EXPECT_EQ(work.Results.TotalCount, kFiles);
    EXPECT_EQ(view.counters[kCounterTotal], kFiles);
    ASSERT_FALSE(view.shownPaths.empty());
    EXPECT_LT(view.shownPaths.size(), static_cast<std::size_t>(kFiles) / 4) << "the path was drawn for every file";

    // A single file given alone is on view at once.
    view.shownPaths.clear();
    ASSERT_TRUE(work.ScanFile(Path(L"many\\file7.txt"), false));
    ASSERT_EQ(view.shownPaths.size(), 1u);
    EXPECT_EQ(view.shownPaths.back(), ScanPathDisplayText(Path(L"many\\file7.txt")));
    EXPECT_EQ(view.counters[kCounterTotal], kFiles + 1);
}

// An engine that answers a document only after a while; it notes what the view showed by then.
class SlowLink final : public ScanEngineLink {
public:
    explicit SlowLink(const RecordingView& view) : m_view(view) {}
    bool IsPipeAlive() override { return true; }
    bool SendMsgToUTF8HexStr(const std::wstring& text) override {
        m_request = text;
        m_due = PollClockMs() + 3 * WorkPace::kProgressEveryMs;
        return true;
    }
    std::wstring NextMessage() override {
        if (m_request.empty() || PollClockMs() < m_due) return {};
        shownWhenAnswered = m_view.shownPaths;
        const std::wstring reply = L"R_SCAN::0::::" + m_request.substr(6);
        m_request.clear();
        return reply;
    }
    std::vector<std::wstring> shownWhenAnswered;

private:
    const RecordingView& m_view;
    std::wstring m_request;
    std::uint64_t m_due = 0;
};

TEST_F(WalkPaceTest, DocumentThatKeepsTheEngineBusyComesOnView) {
    SlowLink link(view);
    work.SetEngineLink(&link);
    for (int i = 0; i < 50; ++i) WriteFile(L"slow\\a" + std::to_wstring(i) + L".txt", std::string(150, 'x'));
    WriteFile(L"slow\\z.docx", FileBytes(ZipHeader(), 300));
    ASSERT_TRUE(work.ScanFolder(Path(L"slow"), true));
    ASSERT_FALSE(link.shownWhenAnswered.empty());
    EXPECT_EQ(link.shownWhenAnswered.back(), ScanPathDisplayText(Path(L"slow\\z.docx")));
}

TEST_F(WalkPaceTest, ListingDecidesWhichFilesAreLookedAtAndTheirSize) {
    ScriptedLink link{ReplyByName([](const std::wstring&) { return std::wstring(L"0::"); })};
    work.SetEngineLink(&link);
    work.RequestOptions() = QuickRequestOptions();
    WriteFile(L"list\\system.docx", FileBytes(ZipHeader(), 300));
    WriteFile(L"list\\small.doc", FileBytes(Ole2Header(), 99));
    WriteFile(L"list\\plain.doc", FileBytes(Ole2Header(), 100));
    ::SetFileAttributesW(Path(L"list\\system.docx").c_str(), FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(work.ScanFolder(Path(L"list"), true));
    ::SetFileAttributesW(Path(L"list\\system.docx").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(work.Results.TotalCount, 2);
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_TRUE(link.sent[0].ends_with(L"/plain.doc"));

    // The listing's size is the one that counts, as a lookup of the file would find it.
    ListedFile listed{FILE_ATTRIBUTE_NORMAL, 99};
    EXPECT_EQ(CheckScanCandidate(Path(L"list\\plain.doc"), true, &listed), ScanFileVerdict::Skip);
    listed.size = kScanMaxFileSize + 1;
    EXPECT_EQ(CheckScanCandidate(Path(L"list\\plain.doc"), true, &listed), ScanFileVerdict::Skip);
    // A link's own size says nothing of its target: the file itself is asked.
    listed = ListedFile{FILE_ATTRIBUTE_REPARSE_POINT, 0};
    EXPECT_EQ(CheckScanCandidate(Path(L"list\\plain.doc"), true, &listed), ScanFileVerdict::Send);
    EXPECT_FALSE(IsListedNormalFile(ListedFile{FILE_ATTRIBUTE_HIDDEN, 300}));
    EXPECT_FALSE(IsListedNormalFile(ListedFile{FILE_ATTRIBUTE_DIRECTORY, 0}));
    EXPECT_TRUE(IsListedNormalFile(ListedFile{FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 300}));
}

}  // namespace
}  // namespace tessaly::test
