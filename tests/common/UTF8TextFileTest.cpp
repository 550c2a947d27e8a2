// clsUTF8TextFile: exact bytes written, replace versus append, hidden files, BOM and NUL bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include "TestSupport.h"
#include "clsUTF8TextFile.h"

using namespace tessaly;
using testsupport::FreshFolder;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

TEST(UTF8TextFile, WritesExactBytesAndReplacesOrAppends) {
    clsUTF8TextFile file;
    const std::wstring path = FreshFolder(L"u8") + L"a.txt";
    EXPECT_TRUE(file.WriteMsgToUTF8File(path, true, L"abc", true));
    EXPECT_EQ(ReadBytes(path), "abc\r\n");
    EXPECT_TRUE(file.WriteMsgToUTF8File(path, true, L"中", false));
    EXPECT_EQ(ReadBytes(path), "abc\r\n\xE4\xB8\xAD");
    EXPECT_TRUE(file.WriteMsgToUTF8File(path, false, L"new", false));
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_FALSE(file.WriteMsgToUTF8File(FreshFolder(L"u8") + L"no\\such\\a.txt", true, L"x", false));
}

TEST(UTF8TextFile, HiddenFileIsNotReplacedButAppendedTo) {
    clsUTF8TextFile file;
    const std::wstring path = FreshFolder(L"u8") + L"h.txt";
    WriteBytes(path, "old");
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(file.WriteMsgToUTF8File(path, false, L"+", false));
    EXPECT_EQ(ReadBytes(path), "old+");
}

TEST(UTF8TextFile, ReadKeepsBomStopsAtZeroAndHandlesSurrogates) {
    clsUTF8TextFile file;
    const std::wstring dir = FreshFolder(L"u8");
    std::wstring text = L"stale";
    WriteBytes(dir + L"bom.txt", "\xEF\xBB\xBF" "abc");
    EXPECT_EQ(file.ReadFromUTF8File(dir + L"bom.txt", text), 4);
    EXPECT_EQ(text, L"\uFEFF" L"abc");

    WriteBytes(dir + L"zero.txt", std::string("ab\0cd", 5));
    EXPECT_EQ(file.ReadFromUTF8File(dir + L"zero.txt", text), 2);
    EXPECT_EQ(text, L"ab");

    WriteBytes(dir + L"empty.txt", "");
    EXPECT_EQ(file.ReadFromUTF8File(dir + L"empty.txt", text), 0);
    EXPECT_EQ(text, L"");
    text = L"stale";
    EXPECT_EQ(file.ReadFromUTF8File(dir + L"missing.txt", text), 0);
    EXPECT_EQ(text, L"");

    EXPECT_TRUE(file.WriteMsgToUTF8File(dir + L"astral.txt", false, L"\U0001F600x", false));
    EXPECT_EQ(ReadBytes(dir + L"astral.txt"), "\xF0\x9F\x98\x80x");
    EXPECT_EQ(file.ReadFromUTF8File(dir + L"astral.txt", text), 3);
    EXPECT_EQ(text, L"\U0001F600x");
}
