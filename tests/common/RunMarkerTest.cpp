// Run markers live exactly as long as their process, here and in a second process that is
// killed; error logs append UTF-8 lines.
#include <gtest/gtest.h>
#include <windows.h>

#include "BoundedPoll.h"
#include "ClsWMI.h"
#include "TestSupport.h"
#include "UniqueHandle.h"
#include "modCommon.h"

using namespace tessaly;

namespace {

const wchar_t kHolderExe[] = L"common_marker_holder.exe";

std::wstring UniqueName(const wchar_t* tag) {
    return std::wstring(tag) + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount64());
}

// Reads a file that its creator holds open with delete access.
std::string ReadShared(const std::wstring& path) {
    unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return "<unreadable>";
    char buffer[64] = {};
    DWORD got = 0;
    ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr);
    return std::string(buffer, got);
}

bool WaitForMarker(const std::wstring& name, bool present) {
    return PollUntil([&] { return IsRunMarkerPresent(name) == present; }, {10000, 50, 0, false}) == PollResult::Done;
}

}  // namespace

TEST(RunMarker, OwnMarkerHoldsPidAndCannotBeDeletedWhileHeld) {
    const std::wstring name = UniqueName(L"own");
    EXPECT_FALSE(IsRunMarkerPresent(name));
    ASSERT_TRUE(CreateRunMarker(name));
    EXPECT_TRUE(IsRunMarkerPresent(name));
    const std::wstring path = GetCommonDataFolder() + name + L".run";
    EXPECT_EQ(ReadShared(path), std::to_string(::GetCurrentProcessId()));
    EXPECT_TRUE(CreateRunMarker(name));  // a second creation is no collision
    EXPECT_FALSE(DeleteRunMarker(name));
    EXPECT_TRUE(IsRunMarkerPresent(name));
    EXPECT_FALSE(DeleteRunMarker(UniqueName(L"never")));
    // Letting go of it removes it at once; a marker not held cannot be let go of.
    EXPECT_TRUE(ReleaseRunMarker(name));
    EXPECT_FALSE(IsRunMarkerPresent(name));
    EXPECT_FALSE(ReleaseRunMarker(name));
}

TEST(RunMarker, ExplicitFolderAndMissingFolder) {
    const std::wstring folder = testsupport::FreshFolder(L"markers");
    const std::wstring name = UniqueName(L"infolder");
    ASSERT_TRUE(CreateRunMarker(name, folder));
    EXPECT_TRUE(IsRunMarkerPresent(name, folder));
    EXPECT_FALSE(IsRunMarkerPresent(name));
    EXPECT_FALSE(CreateRunMarker(name, folder + L"no\\such\\"));
}

TEST(RunMarker, MarkerOfAnotherProcessVanishesWhenItIsKilled) {
    const std::wstring name = UniqueName(L"holder");
    ASSERT_TRUE(ShellRun(testsupport::TestBinFolder() + kHolderExe, name, kWindowHidden));
    ASSERT_TRUE(WaitForMarker(name, true));

    const std::wstring path = GetCommonDataFolder() + name + L".run";
    const std::string holderPid = ReadShared(path);
    EXPECT_NE(holderPid, std::to_string(::GetCurrentProcessId()));
    EXPECT_FALSE(holderPid.empty());
    EXPECT_TRUE(CreateRunMarker(name));  // held elsewhere: True, nothing written
    EXPECT_EQ(ReadShared(path), holderPid);
    EXPECT_FALSE(DeleteRunMarker(name));

    ClsWMI wmi;
    EXPECT_TRUE(wmi.IsExistProcess(kHolderExe));
    EXPECT_TRUE(wmi.TerminateProcess(kHolderExe));
    EXPECT_FALSE(IsRunMarkerPresent(name));
    EXPECT_FALSE(DirLookup(path, kLookupHidden));
}

TEST(ErrLog, AppendsUtf8LinesAndIgnoresEmptyMessages) {
    const std::wstring name = UniqueName(L"log");
    const std::wstring path = GetCommonDataFolder() + name + L".err";
    WriteErrLog(L"第一", name, false);
    WriteErrLog(L"two\r\nlines", name, false);
    EXPECT_EQ(testsupport::ReadBytes(path), "\xE7\xAC\xAC\xE4\xB8\x80\r\ntwo\r\nlines\r\n");
    WriteErrLog(L"", name, true);
    EXPECT_EQ(testsupport::ReadBytes(path).size(), 20u);
    WriteErrLog(L"fresh", name, true);
    EXPECT_EQ(testsupport::ReadBytes(path), "fresh\r\n");
}
