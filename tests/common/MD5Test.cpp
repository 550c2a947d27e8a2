// File digests against known MD5 vectors, around the 32768-byte block boundary, and for files
// the directory lookup does not find.
#include <gtest/gtest.h>
#include <windows.h>

#include "TestSupport.h"
#include "UniqueHandle.h"
#include "modMD5.h"

using namespace tessaly;

namespace {
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}
}  // namespace

TEST(MD5, KnownVectorsAndBlockBoundaries) {
    const std::wstring dir = testsupport::FreshFolder(L"md5");
    const struct {
        std::string content;
        const wchar_t* digest;
    } cases[] = {
        {"", L"D41D8CD98F00B204E9800998ECF8427E"},
        {"abc", L"900150983CD24FB0D6963F7D28E17F72"},
        {"The quick brown fox jumps over the lazy dog", L"9E107D9D372BB6826BD81D3542A419D6"},
        {Pattern(32767), L"95C2AA59A25BA3610C537670C5B9454E"},
        {Pattern(32768), L"A9AB613DCFCD605013ECCD686ACE8922"},
        {Pattern(32769), L"E13563E392DD9C0CAC420E2C736F374A"},
        {Pattern(65541), L"91652E7092AC5F8E85634F05ACEF3E57"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::wstring path = dir + std::to_wstring(++n) + L".bin";
        testsupport::WriteBytes(path, c.content);
        EXPECT_EQ(GetFileMD5(path, CALG_MD5), c.digest) << "size " << c.content.size();
    }
}

TEST(MD5, MissingHiddenFolderAndLockedGiveEmpty) {
    const std::wstring dir = testsupport::FreshFolder(L"md5");
    EXPECT_EQ(GetFileMD5(dir + L"none"), L"");
    EXPECT_EQ(GetFileMD5(dir), L"");
    EXPECT_EQ(GetFileMD5(dir.substr(0, dir.size() - 1)), L"");
    const std::wstring hidden = dir + L"hidden";
    testsupport::WriteBytes(hidden, "abc");
    ::SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileMD5(hidden), L"");

    const std::wstring locked = dir + L"locked";
    testsupport::WriteBytes(locked, "abc");
    unique_file holder(::CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_EQ(GetFileMD5(locked), L"");
    holder.reset();
    EXPECT_EQ(GetFileMD5(locked), L"900150983CD24FB0D6963F7D28E17F72");
}
