// The answer reader: the value and type each dotted path yields, as the service's JSON says it,
// and nothing for answers that are no JSON object.
#include <gtest/gtest.h>

#include "UpdateAnswer.h"

using namespace tessaly::updater;

namespace {

const std::wstring kAnswer =
    LR"({"message":"ok","code":1,"data":{"action":"33","updateurl":"","updateinfo":{"ver":"2021.3.1",)"
    LR"("size":1000,"hash":"ABCDEF","packageurl":"687474703A2F2F","reinstall":0,"text":"\u6c49\u5b57"}}})";

}  // namespace

TEST(UpdateAnswerReader, ReadsEachMemberWithItsType) {
    EXPECT_EQ(GetJsonInt(L"code", kAnswer), 1);
    EXPECT_EQ(GetJsonText(L"data.action", kAnswer), L"33");
    EXPECT_EQ(GetJsonText(L"data.updateurl", kAnswer), L"");
    EXPECT_EQ(GetJsonText(L"data.updateinfo.ver", kAnswer), L"2021.3.1");
    EXPECT_EQ(GetJsonInt(L"data.updateinfo.size", kAnswer), 1000);
    EXPECT_EQ(GetJsonText(L"data.updateinfo.text", kAnswer), L"\u6c49\u5b57");
    EXPECT_EQ(GetJsonInt(L"data.updateinfo.reinstall", kAnswer), 0);

    const UpdateAnswer read = ReadUpdateAnswer(kAnswer);
    EXPECT_EQ(read.code, 1);
    EXPECT_EQ(read.action, L"33");
    EXPECT_EQ(read.size, 1000);
    EXPECT_EQ(read.hash, L"ABCDEF");
    EXPECT_EQ(read.packageUrl, L"687474703A2F2F");
    EXPECT_EQ(read.reinstall, 0);
}

TEST(UpdateAnswerReader, TypesMustMatchExactly) {
    // A number in text is no integer, and an integer is no text.
    EXPECT_FALSE(GetJsonInt(L"code", LR"({"code":"1"})"));
    EXPECT_FALSE(GetJsonText(L"data.action", LR"({"data":{"action":33}})"));
    EXPECT_FALSE(GetJsonText(L"a", LR"({"a":true})"));
    EXPECT_FALSE(GetJsonText(L"a", LR"({"a":null})"));
    EXPECT_FALSE(GetJsonInt(L"a", LR"({"a":[1]})"));
    EXPECT_FALSE(GetJsonInt(L"a", LR"({"a":{}})"));
    // Whole numbers of the signed 32-bit range only.
    EXPECT_EQ(GetJsonInt(L"a", LR"({"a":2147483647})"), 2147483647);
    EXPECT_EQ(GetJsonInt(L"a", LR"({"a":-2147483648})"), INT32_MIN);
    EXPECT_FALSE(GetJsonInt(L"a", LR"({"a":2147483648})"));
    EXPECT_FALSE(GetJsonInt(L"a", LR"({"a":-2147483649})"));
    EXPECT_FALSE(GetJsonInt(L"a", LR"({"a":18446744073709551616})"));
    EXPECT_FALSE(GetJsonInt(L"a", LR"({"a":1.5})"));
    EXPECT_FALSE(GetJsonInt(L"a", LR"({"a":1e300})"));
    EXPECT_EQ(GetJsonInt(L"a", LR"({"a":1.0})"), 1);
    EXPECT_EQ(GetJsonInt(L"a", LR"({"a":1e3})"), 1000);
}

TEST(UpdateAnswerReader, PathsThroughMissingOrOtherMembersGiveNothing) {
    EXPECT_FALSE(GetJsonText(L"data.action", LR"({"code":1})"));
    EXPECT_FALSE(GetJsonText(L"data.action", LR"({"data":"text"})"));
    EXPECT_FALSE(GetJsonText(L"data.updateinfo.ver", LR"({"data":{"updateinfo":[{"ver":"1"}]}})"));
    EXPECT_FALSE(GetJsonText(L"data.Action", LR"({"data":{"action":"31"}})"));
    // A later duplicate wins, as in a script object literal.
    EXPECT_EQ(GetJsonInt(L"code", LR"({"code":2,"code":1})"), 1);
}

TEST(UpdateAnswerReader, TextsThatAreNoJsonObjectGiveNothing) {
    for (const wchar_t* answer :
         {L"", L"not json", L"[1,2]", L"\"code\"", L"42", L"{\"code\":1", L"{\"code\":1}}", L"{code:1}",
          L"{'code':1}", L"{\"code\":1,}", L"{\"code\":1}; alert(1)",
          L"{\"code\":(function(){return 1})()}", L"{\"message\":\"\",\"code\":1,\"data\":new ActiveXObject(\"x\")}"}) {
        EXPECT_FALSE(GetJsonInt(L"code", answer)) << answer;
        const UpdateAnswer read = ReadUpdateAnswer(answer);
        EXPECT_FALSE(read.code || read.action || read.size || read.hash) << answer;
    }
    // Blanks around the object are fine.
    EXPECT_EQ(GetJsonInt(L"code", L"  \r\n{\"code\":1}\r\n"), 1);
}

TEST(UpdateAnswerReader, DeepOrHugeAnswersDoNotBreakTheReader) {
    std::wstring deep = L"{\"code\":1,\"data\":";
    deep += std::wstring(100000, L'[') + std::wstring(100000, L']') + L"}";
    EXPECT_EQ(GetJsonInt(L"code", deep), 1);
    std::wstring unbalanced = L"{\"data\":" + std::wstring(200000, L'[');
    EXPECT_FALSE(GetJsonInt(L"code", unbalanced));
    const std::wstring huge = L"{\"code\":1,\"data\":{\"action\":\"" + std::wstring(4 * 1024 * 1024, L'3') + L"\"}}";
    EXPECT_EQ(GetJsonText(L"data.action", huge)->size(), 4u * 1024 * 1024);
}

TEST(UpdateAnswerReader, TheThreeMembersMustAppearAsText) {
    EXPECT_TRUE(HasAnswerMembers(L"{\"message\":\"\",\"code\":1,\"data\":{}}"));
    EXPECT_FALSE(HasAnswerMembers(L"{\"Message\":\"\",\"code\":1,\"data\":{}}"));
    EXPECT_FALSE(HasAnswerMembers(L"{\"message\":\"\",\"code\":1}"));
    // Only the text counts, not where it stands.
    EXPECT_TRUE(HasAnswerMembers(L"message code data"));
}

TEST(UpdateAnswerReader, HexFieldsDecodeOnlyWhenTheyAreHex) {
    EXPECT_EQ(DecodeHexField(L"687474703A2F2F6578"), L"http://ex");
    EXPECT_EQ(DecodeHexField(L"e6b189"), L"\u6c49");
    EXPECT_EQ(DecodeHexField(L""), L"");
    EXPECT_EQ(DecodeHexField(L"6874G0"), L"");
    EXPECT_EQ(DecodeHexField(L"687"), L"");
    EXPECT_EQ(DecodeHexField(L"00"), L"");
    EXPECT_EQ(DecodeHexField(L"http://example"), L"");
}
