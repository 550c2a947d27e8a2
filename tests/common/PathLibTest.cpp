// ClsPathLib over real files: split and join, rename and move, copy, delete, tests and sizes.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include "ClsPathLib.h"
#include "TestSupport.h"
#include "UniqueHandle.h"

using namespace tessaly;
using testsupport::Exists;
using testsupport::FreshFolder;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

TEST(PathLib, SplitAndJoin) {
    ClsPathLib lib;
    using Pair = std::array<std::wstring, 2>;
    EXPECT_EQ(lib.SplitPath(L"name.doc"), (Pair{L"", L"name.doc"}));
    EXPECT_EQ(lib.SplitPath(L"C:\\a\\b\\"), (Pair{L"C:\\a\\b", L""}));
    EXPECT_EQ(lib.SplitPath(L"C:\\"), (Pair{L"C:", L""}));
    EXPECT_EQ(lib.SplitPath(L"\\\\server\\share"), (Pair{L"\\\\server", L"share"}));
    EXPECT_EQ(lib.SplitPath(L"C:\\a\\b.doc"), (Pair{L"C:\\a", L"b.doc"}));
    EXPECT_EQ(lib.JoinPath(L"C:\\a", L"b"), L"C:\\a\\b");
    EXPECT_EQ(lib.JoinPath(L"C:\\a\\", L"b"), L"C:\\a\\b");
    EXPECT_EQ(lib.JoinPath(L"", L"b"), L"\\b");
    EXPECT_EQ(lib.JoinPath(L"C:\\a", L"\\b"), L"C:\\a\\\\b");
}

TEST(PathLib, RenameRespectsOverWriteAndMovesAcrossFolders) {
    ClsPathLib lib;
    const std::wstring dir = FreshFolder(L"ren");
    WriteBytes(dir + L"a.txt", "A");
    WriteBytes(dir + L"b.txt", "B");
    EXPECT_FALSE(lib.RenameFile(dir + L"a.txt", dir + L"b.txt", false));
    EXPECT_EQ(ReadBytes(dir + L"a.txt"), "A");
    EXPECT_EQ(ReadBytes(dir + L"b.txt"), "B");
    EXPECT_TRUE(lib.RenameFile(dir + L"a.txt", dir + L"b.txt", true));
    EXPECT_FALSE(Exists(dir + L"a.txt"));
    EXPECT_EQ(ReadBytes(dir + L"b.txt"), "A");
    EXPECT_TRUE(lib.RenameFile(dir + L"b.txt", dir + L"新.txt", false));
    EXPECT_EQ(ReadBytes(dir + L"新.txt"), "A");

    const std::wstring other = FreshFolder(L"ren");
    EXPECT_TRUE(lib.RenameFile(dir + L"新.txt", other + L"moved.txt", false));
    EXPECT_EQ(ReadBytes(other + L"moved.txt"), "A");
    EXPECT_FALSE(lib.RenameFile(dir + L"gone.txt", other + L"x.txt", false));
}

TEST(PathLib, DeleteFolderRemovesTreeAndRefusesFiles) {
    ClsPathLib lib;
    const std::wstring dir = FreshFolder(L"del");
    const std::wstring tree = dir + L"tree";
    ::CreateDirectoryW(tree.c_str(), nullptr);
    ::CreateDirectoryW((tree + L"\\sub").c_str(), nullptr);
    WriteBytes(tree + L"\\sub\\f.txt", "x");
    ::SetFileAttributesW(tree.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    WriteBytes(dir + L"file.txt", "x");
    EXPECT_FALSE(lib.DeleteFolder(dir + L"file.txt", false));
    EXPECT_TRUE(Exists(dir + L"file.txt"));
    EXPECT_FALSE(lib.DeleteFolder(dir + L"missing\\", false));
    EXPECT_TRUE(lib.DeleteFolder(tree + L"\\", false));
    EXPECT_FALSE(Exists(tree));
}

TEST(PathLib, FileAndFolderTests) {
    ClsPathLib lib;
    const std::wstring dir = FreshFolder(L"is");
    const std::wstring hidden = dir + L"h", system = dir + L"s", plain = dir + L"p";
    for (const auto& p : {hidden, system, plain}) WriteBytes(p, "x");
    ::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(lib.IsFile(plain));
    EXPECT_TRUE(lib.IsFile(hidden));
    EXPECT_FALSE(lib.IsFile(system));
    EXPECT_FALSE(lib.IsFile(dir));
    EXPECT_FALSE(lib.IsFile(L"Q:\\nothing.txt"));
    EXPECT_TRUE(lib.IsDir(dir));
    EXPECT_FALSE(lib.IsDir(plain));
    EXPECT_FALSE(lib.IsDir(dir + L"none"));
    EXPECT_TRUE(lib.DelFile(hidden));
    EXPECT_FALSE(lib.DelFile(hidden));
    EXPECT_FALSE(lib.DelFile(system));
}

TEST(PathLib, CopyAndSizes) {
    ClsPathLib lib;
    const std::wstring dir = FreshFolder(L"copy");
    WriteBytes(dir + L"src", "12345");
    WriteBytes(dir + L"dst", "old");
    EXPECT_FALSE(lib.MyCopyFile(dir + L"src", dir + L"dst", false));
    EXPECT_EQ(ReadBytes(dir + L"dst"), "old");
    EXPECT_TRUE(lib.MyCopyFile(dir + L"src", dir + L"dst", true));
    EXPECT_EQ(ReadBytes(dir + L"dst"), "12345");
    EXPECT_FALSE(lib.MyCopyFile(dir + L"none", dir + L"dst2", true));

    WriteBytes(dir + L"empty", "");
    EXPECT_EQ(lib.MyGetFileSize(dir + L"src"), 5);
    EXPECT_EQ(lib.MyGetFileSize(dir + L"empty"), 0);
    EXPECT_EQ(lib.MyGetFileSize(dir + L"none"), -1);
    EXPECT_EQ(lib.MyGetFileSize64(dir + L"none"), -1);
}

TEST(PathLib, TrueSizeOfFilesBeyond2GiB) {
    ClsPathLib lib;
    const std::wstring path = FreshFolder(L"big") + L"sparse.bin";
    unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD ignored = 0;
    ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER size{};
    size.QuadPart = 0x80000010LL;  // 2 GiB + 16
    const bool sized = ::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
    file.reset();
    if (!sized) GTEST_SKIP() << "no room for a 2 GiB file";
    EXPECT_EQ(lib.MyGetFileSize64(path), 0x80000010LL);
    EXPECT_EQ(lib.MyGetFileSize(path), static_cast<std::int32_t>(0x80000010u));  // wrapped, negative
    ::DeleteFileW(path.c_str());
}

TEST(PathLib, PathHasUnicode) {
    ClsPathLib lib;
    EXPECT_FALSE(lib.PathHasUnicode(L"C:\\Program Files\\Tessaly 2021\\"));
    EXPECT_FALSE(lib.PathHasUnicode(L""));
    EXPECT_TRUE(lib.PathHasUnicode(L"C:\\程序\\"));
    EXPECT_TRUE(lib.PathHasUnicode(L"C:\\a\tb"));
    EXPECT_TRUE(lib.PathHasUnicode(L"C:\\a\x7F"));
}
