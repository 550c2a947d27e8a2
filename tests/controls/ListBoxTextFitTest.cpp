// Fitting a row's text to the width left of the scroll bar: paths lose their middle, other texts
// their end, and the result always fits.
#include <gtest/gtest.h>

#include <string>

#include "usrCtlListBoxTextFit.h"

using tessaly::listbox::FitRowText;

namespace {

// One unit per character, two for a character outside ASCII (as wide as a Chinese glyph).
int Units(std::wstring_view text) {
    int units = 0;
    for (wchar_t c : text) units += c < 0x80 ? 1 : 2;
    return units;
}

std::wstring Fit(const std::wstring& text, int width) { return FitRowText(text, width, Units); }

TEST(ListBoxTextFit, TextThatFitsStaysAsItIs) {
    EXPECT_EQ(Fit(L"C:\\a\\b.doc", 10), L"C:\\a\\b.doc");
    EXPECT_EQ(Fit(L"", 0), L"");
}

TEST(ListBoxTextFit, LongPathLosesItsMiddleAndKeepsTheFileName) {
    const std::wstring path = L"c:\\users\\someone\\documents\\projects\\2021\\report.docx";
    const std::wstring fitted = Fit(path, 30);
    EXPECT_LE(Units(fitted), 30);
    EXPECT_EQ(fitted, L"c:\\users\\someon...\\report.docx");
    // The status in front of a failed clean's path stays readable too.
    const std::wstring failed = L"修复失败,错误信息:locked    " + path;
    const std::wstring shown = Fit(failed, 60);
    EXPECT_LE(Units(shown), 60);
    EXPECT_EQ(shown.rfind(L"修复失败,错误信息:locked", 0), 0u) << ::testing::PrintToString(shown);
    EXPECT_TRUE(shown.ends_with(L"...\\report.docx")) << ::testing::PrintToString(shown);
}

TEST(ListBoxTextFit, FileNameWiderThanTheRowKeepsItsStart) {
    const std::wstring fitted = Fit(L"c:\\d\\a_very_long_file_name_indeed.doc", 16);
    EXPECT_EQ(fitted, L"...\\a_very_lo...");
    EXPECT_LE(Units(fitted), 16);
}

TEST(ListBoxTextFit, TextWithoutABackslashIsCutAtItsEnd) {
    EXPECT_EQ(Fit(L"R_SCAN::-1::engine error::C:/a/b.doc", 12), L"R_SCAN::-...");
    EXPECT_EQ(Fit(L"加密文档忘记密码的情况下", 11), L"加密文档...");
    // A leading backslash alone is no folder to shorten.
    EXPECT_EQ(Fit(L"\\server_share_name", 10), L"\\server...");
}

TEST(ListBoxTextFit, NothingButTheEllipsisOrNothingAtAll) {
    EXPECT_EQ(Fit(L"abcdef", 3), L"...");
    EXPECT_EQ(Fit(L"abcdef", 2), L"");
    EXPECT_EQ(Fit(L"abcdef", -4), L"");
}

TEST(ListBoxTextFit, SurrogatePairsAreNeverSplit) {
    // U+20000 (a CJK extension character) is two UTF-16 units; every unit counts 2 here.
    const std::wstring text = L"ab\xD840\xDC00" L"cdefgh";
    const std::wstring fitted = Fit(text, 8);  // "ab" + half the pair + "..." would be 7
    EXPECT_EQ(fitted, L"ab...");
}

}  // namespace
