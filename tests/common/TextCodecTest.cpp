// Hex-UTF-8 vectors and the UTF-8 byte conversions, including the terminator rules.
#include <gtest/gtest.h>

#include "modCommon.h"

using namespace tessaly;

TEST(TextCodec, TextToHexVectors) {
    EXPECT_EQ(TextToHex(L""), L"");
    EXPECT_EQ(TextToHex(L"AB"), L"4142");
    EXPECT_EQ(TextToHex(L"é"), L"C3A9");
    EXPECT_EQ(TextToHex(L"中"), L"E4B8AD");
    EXPECT_EQ(TextToHex(L"\U0001F600"), L"F09F9880");
    EXPECT_EQ(TextToHex(std::wstring(L"A\0B", 3)), L"41");  // encoded up to the NUL
    EXPECT_EQ(BytesToHex({0x00, 0x0F, 0xAB}), L"000FAB");
}

TEST(TextCodec, HexToTextVectors) {
    EXPECT_EQ(HexToText(L""), L"");
    EXPECT_EQ(HexToText(L"414"), L"");
    EXPECT_EQ(HexToText(L"414243"), L"ABC");
    EXPECT_EQ(HexToText(L"41004243"), L"A");
    EXPECT_EQ(HexToText(L"414243\r\n"), L"ABC");
    EXPECT_EQ(HexToText(L"e4b8ad"), L"中");
    EXPECT_EQ(HexToText(L"C3A9E4B8ADF09F9880"), L"é中\U0001F600");
    EXPECT_EQ(HexToText(L"ZZ41"), L"");  // "ZZ" reads as 0, which ends the text
    EXPECT_EQ(HexToText(L"4G42"), L"\x04" L"B");
    EXPECT_EQ(HexToText(L"FF41"), L"\uFFFD" L"A");
    EXPECT_TRUE(IsHexString(L"xy"));
    EXPECT_FALSE(IsHexString(L""));
}

TEST(TextCodec, HexToBytesKeepsAClosingZero) {
    const ByteSequence bytes = HexToBytes(L"4142");
    ASSERT_EQ(bytes.size(), 3u);
    EXPECT_EQ(bytes[0], 0x41);
    EXPECT_EQ(bytes[1], 0x42);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_TRUE(HexToBytes(L"").empty());
    EXPECT_EQ(HexToBytes(L"4 1")[0], 0x04);  // blanks inside a pair are skipped
}

TEST(TextCodec, Utf8BytesStopAtZero) {
    EXPECT_EQ(Utf8BytesToText({'a', 'b', 0, 'c'}), L"ab");
    EXPECT_EQ(Utf8BytesToText({}), L"");
    EXPECT_EQ(Utf8BytesToText({0, 'a'}), L"");
    const ByteSequence bytes = TextToUtf8Bytes(L"z\U00010348");
    EXPECT_EQ(bytes.size(), 5u);
    EXPECT_EQ(Utf8BytesToText(bytes), L"z\U00010348");
    EXPECT_TRUE(TextToUtf8Bytes(L"").empty());
}
