// The checked field reader, the writers' field setter and the one UTF/case helper set.
#include <gtest/gtest.h>

#include "ByteReader.h"
#include "CfbWriter.h"
#include "Cfb.h"
#include "Text.h"

using namespace tessaly;
using analysis::ByteVec;
using analysis::Field;

namespace {

TEST(FieldReads, OutOfRangeFieldsFailInsteadOfReadingZero) {
    const ByteVec bytes{0x01, 0x02, 0x03, 0x04, 0x05};
    EXPECT_EQ(analysis::ReadField(bytes, Field<std::uint32_t>{1}), 0x05040302u);
    EXPECT_FALSE(analysis::ReadField(bytes, Field<std::uint32_t>{2}));
    EXPECT_FALSE(analysis::ReadAt<std::uint16_t>(bytes, SIZE_MAX - 1));  // offset arithmetic cannot wrap
    analysis::ByteReader r(bytes);
    EXPECT_EQ(r.get(Field<std::uint16_t>{0}, 3), 0x0504);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.get(Field<std::uint16_t>{0}, 4), 0);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.get(Field<std::uint8_t>{0}), 0);  // stays failed
}

TEST(FieldReads, WritersCannotSetAFieldOutsideTheirBuffer) {
    ByteVec bytes(4, 0);
    analysis::SetField(bytes, Field<std::uint16_t>{2}, std::uint16_t{0xBEEF});
    EXPECT_EQ(bytes, (ByteVec{0, 0, 0xEF, 0xBE}));
    EXPECT_THROW(analysis::SetField(bytes, Field<std::uint32_t>{1}, 1u), std::logic_error);
}

TEST(Text, CaseFoldIsAsciiOnly) {
    EXPECT_TRUE(analysis::EqualsNoCase("_VBA_Project_Cur", "_vba_project_cur"));
    EXPECT_FALSE(analysis::EqualsNoCase("\xC3\xA9", "\xC3\x89"));  // é and É differ outside ASCII
    EXPECT_EQ(analysis::LowerAscii("Xl/WorkBook.XML"), "xl/workbook.xml");
    EXPECT_TRUE(analysis::StartsWithNoCase("__srp_0", "__SRP_"));
    EXPECT_EQ(analysis::AsciiUpper(u'z'), u'Z');
}

TEST(Text, Utf16RoundTripsPairsAndLoneSurrogates) {
    const std::u16string names[] = {u"WordDocument", u"\u0005SummaryInformation", u"\u6587\u6863", u"\U0001F600x",
                                    std::u16string(1, char16_t(0xD800)) + u"a"};
    for (const std::u16string& name : names) {
        const std::string utf8 = analysis::Utf16ToUtf8(name);
        EXPECT_EQ(analysis::Utf8ToUtf16(utf8), name);
    }
    EXPECT_EQ(analysis::Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Text, CompoundFileNamesSurviveAWriteAndRead) {
    analysis::cfb::Node root;
    const std::string name = analysis::Utf16ToUtf8(u"\u6587\U0001F600");
    root.AddStream(name, ByteVec(10, 1));
    const ByteVec bytes = analysis::cfb::WriteCompoundFile(root);
    auto file = analysis::cfb::CompoundFile::Open(bytes);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->ReadStream(name), ByteVec(10, 1));
}

}  // namespace
