// The "/sf " path of a second start: the request file it leaves, taken by the running window
// oldest first, withdrawn when nobody takes it, and the message for a path the page would pass
// over in silence.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "MainStartup.h"
#include "MainTestSupport.h"
#include "ScanHandOver.h"
#include "UniqueHandle.h"

using namespace tessaly;
using namespace tessaly::scan_hand_over;

namespace {

std::wstring FreshFolder(const maintest::PrivateDataFolders& data, const std::wstring& name) {
    const std::wstring folder = data.Root() + name + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << bytes;
}

std::size_t FilesIn(const std::wstring& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

FILETIME FileTime(ULONGLONG ticks) { return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

// A request file as a second start leaves it; written at `ticks` when given.
std::wstring WriteRequest(const std::wstring& folder, const std::wstring& name, const std::string& path,
                          ULONGLONG ticks = 0) {
    const std::wstring file = folder + name;
    WriteBytes(file, path);
    if (ticks != 0) {
        unique_file handle(::CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
        const FILETIME time = FileTime(ticks);
        ::SetFileTime(handle.get(), nullptr, nullptr, &time);
    }
    return file;
}

}  // namespace

TEST(ScanHandOver, TheRunningWindowTakesTheRequestWhileTheSecondStartWaits) {
    maintest::PrivateDataFolders data;
    const std::wstring folder = FreshFolder(data, L"handover");
    std::vector<std::wstring> taken;
    std::atomic<bool> stop{false};
    // The running window's timer, in another thread here.
    std::thread window([&] {
        while (!stop && taken.empty()) {
            taken = TakeScanRequests(folder);
            ::Sleep(20);
        }
    });
    const HandOverResult result = HandOverScanPath(L"c:\\文档\\报告.doc", 10000, folder);
    stop = true;
    window.join();
    EXPECT_EQ(result, HandOverResult::Taken);
    EXPECT_EQ(taken, std::vector<std::wstring>{L"c:\\文档\\报告.doc"});
    EXPECT_EQ(FilesIn(folder), 0u) << "the request outlived its reading";
}

TEST(ScanHandOver, ARequestNobodyTakesIsWithdrawn) {
    maintest::PrivateDataFolders data;
    const std::wstring folder = FreshFolder(data, L"nobody");
    EXPECT_EQ(HandOverScanPath(L"d:\\x", 100, folder), HandOverResult::NotTaken);
    EXPECT_EQ(FilesIn(folder), 0u);
    EXPECT_TRUE(TakeScanRequests(folder).empty());
    EXPECT_EQ(HandOverScanPath(L"d:\\x", 100, folder + L"no such folder\\"), HandOverResult::NotWritten);
}

TEST(ScanHandOver, RequestsAreTakenOldestFirstAndHalfWrittenOnesWait) {
    maintest::PrivateDataFolders data;
    const std::wstring folder = FreshFolder(data, L"order");
    WriteRequest(folder, L"scanrequest-9.txt", "c:\\second", 130000000010000000ULL);
    WriteRequest(folder, L"scanrequest-10.txt", "c:\\first", 130000000000000000ULL);
    WriteRequest(folder, L"scanrequest-11.tmp", "c:\\half");
    WriteRequest(folder, L"scanrequest-12.txt", "");
    EXPECT_EQ(TakeScanRequests(folder), (std::vector<std::wstring>{L"c:\\first", L"c:\\second"}));
    EXPECT_EQ(FilesIn(folder), 1u);  // only the half-written one is left; the empty one had no path
    EXPECT_TRUE(TakeScanRequests(folder).empty());
}

TEST(ScanHandOver, ARequestHeldByItsWriterIsTakenLater) {
    maintest::PrivateDataFolders data;
    const std::wstring folder = FreshFolder(data, L"held");
    const std::wstring request = WriteRequest(folder, L"scanrequest-5.txt", "c:\\held");
    unique_file held(::CreateFileW(request.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_TRUE(TakeScanRequests(folder).empty());
    held.reset();
    EXPECT_EQ(TakeScanRequests(folder), std::vector<std::wstring>{L"c:\\held"});
}

TEST(ScanHandOver, RequestsFromBeforeTheWindowStartedAreDropped) {
    maintest::PrivateDataFolders data;
    const std::wstring folder = FreshFolder(data, L"stale");
    WriteRequest(folder, L"scanrequest-1.txt", "c:\\old", 130000000000000000ULL);
    WriteRequest(folder, L"scanrequest-2.txt", "c:\\new");
    WriteRequest(folder, L"other.txt", "kept", 130000000000000000ULL);
    DropRequestsOlderThan(FileTime(130000000050000000ULL), folder);
    EXPECT_EQ(TakeScanRequests(folder), std::vector<std::wstring>{L"c:\\new"});
    EXPECT_EQ(FilesIn(folder), 1u);
}

TEST(ScanPathProblem, NamesAMissingPathAQuotedOneAndAHiddenFile) {
    maintest::PrivateDataFolders data;
    const std::wstring folder = FreshFolder(data, L"paths");
    const std::wstring file = folder + L"a.doc";
    WriteBytes(file, "x");
    EXPECT_FALSE(main_startup::ScanPathProblem(file));
    EXPECT_FALSE(main_startup::ScanPathProblem(folder));
    EXPECT_FALSE(main_startup::ScanPathProblem(folder.substr(0, folder.size() - 1)));
    EXPECT_FALSE(main_startup::ScanPathProblem(L"c:\\"));  // a drive root needs no lookup

    const std::wstring missing = folder + L"gone.doc";
    EXPECT_EQ(main_startup::ScanPathProblem(missing).value_or(L"<none>"),
              std::wstring(main_startup::kScanPathMissingText) + L"\r\n" + missing);
    const std::wstring quoted = L"\"" + file + L"\"";
    EXPECT_EQ(main_startup::ScanPathProblem(quoted).value_or(L"<none>"),
              std::wstring(main_startup::kScanPathMissingText) + L"\r\n" + quoted + L"\r\n" +
                  main_startup::kScanPathQuotedHint);
    EXPECT_EQ(main_startup::ScanPathProblem(L"").value_or(L"<none>"),
              std::wstring(main_startup::kScanPathMissingText) + L"\r\n");

    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(main_startup::ScanPathProblem(file).value_or(L"<none>"),
              std::wstring(main_startup::kScanPathHiddenText) + L"\r\n" + file);
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}
