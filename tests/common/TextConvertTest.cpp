// Conversions at the file and link boundaries, under the test prefix's code page 936.
#include "TextConvert.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace tessaly;

TEST(TextConvert, Utf8RoundTripKeepsSurrogatePairs) {
    const std::wstring text = L"A\u4E2D\U0001F600";
    const std::string bytes = WideToUtf8(text);
    EXPECT_EQ(bytes, "A\xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToWide(bytes), text);
}

TEST(TextConvert, IllFormedUtf8BecomesReplacementCharacter) {
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFD" L"b");
}

TEST(TextConvert, SystemCodePageIs936AndCarriesChinese) {
    EXPECT_EQ(::GetACP(), 936u);
    EXPECT_EQ(WideToAnsi(L"宋体"), "\xCB\xCE\xCC\xE5");
    EXPECT_TRUE(FitsAnsiCodePage(L"C:\\文档\\a.doc"));
    EXPECT_FALSE(FitsAnsiCodePage(L"C:\\\u0E01.doc"));  // Thai has no place in code page 936
}

TEST(TextConvert, CaseInsensitiveHelpers) {
    EXPECT_TRUE(EqualsNoCase(L"WinWord.EXE", L"winword.exe"));
    EXPECT_TRUE(EndsWithNoCase(L"a.DOCX", L".docx"));
    EXPECT_FALSE(StartsWithNoCase(L"ab", L"abc"));
    EXPECT_EQ(TrimSpaces(L"  x y  "), L"x y");
    EXPECT_EQ(TrimSpaces(L"   "), L"");
}
