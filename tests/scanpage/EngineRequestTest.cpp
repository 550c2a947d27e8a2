// The wait for one engine reply: matching by path, exit texts, dropped messages and time-outs.
#include "EngineLinkMessages.h"
#include "ScanPageEngine.h"
#include "ScanPageTestSupport.h"

namespace tessaly::test {
namespace {

ScriptedLink::Responder Answer(std::vector<std::wstring> messages) {
    return [messages](const std::wstring&) { return messages; };
}

struct Outcome {
    bool ok = false;
    std::wstring reply;
    std::int32_t code = -5;
};

Outcome Request(ScriptedLink& link, bool isClean = false, std::int32_t polls = 20) {
    Outcome outcome;
    outcome.ok = RequestEngine(&link, L"C:\\a\\b.doc", outcome.reply, isClean, outcome.code, [] { return false; },
                               QuickRequestOptions(polls));
    return outcome;
}

TEST(EngineRequestTest, ForeignAndIdleMessagesAreDroppedUntilTheMatchingReply) {
    ScriptedLink link(Answer({L"SERVER::IDLE::0", L"no separator C:/a/b.doc", L"R_SCAN::0::::C:/other.doc",
                              L"R_SCAN::2::V::C:/a/b.doc"}));
    const Outcome outcome = Request(link);
    ASSERT_EQ(link.sent, std::vector<std::wstring>{L"SCAN::C:/a/b.doc"});
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.reply, L"R_SCAN::2::V::C:/a/b.doc");
}

TEST(EngineRequestTest, ReplyCarryingALongPathCutToFitIsRecognised) {
    const std::wstring path = L"C:\\" + std::wstring(4085, L'a');
    ScriptedLink link([](const std::wstring& request) {
        return std::vector<std::wstring>{BuildReply(kScanReplyPrefix, -1, L"文件不存在", request.substr(6))};
    });
    Outcome outcome;
    outcome.ok = RequestEngine(&link, path, outcome.reply, false, outcome.code, [] { return false; },
                               QuickRequestOptions());
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(SplitReply(outcome.reply).size(), 4u);
}

TEST(EngineRequestTest, ExitTextsGiveCodeOne) {
    for (const wchar_t* exitText : {L"CLIENT::EXIT", L"SERVER::EXIT"}) {
        ScriptedLink link(Answer({exitText}));
        const Outcome outcome = Request(link);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.code, 1);
    }
}

TEST(EngineRequestTest, MessageForThePathWithoutTheExpectedPrefixIsCode99) {
    ScriptedLink link(Answer({L"R_SCAN::2::V::C:/a/b.doc"}));
    const Outcome outcome = Request(link, true);  // a clean expects R_CLEAN::
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.code, 99);
    EXPECT_EQ(outcome.reply, L"R_SCAN::2::V::C:/a/b.doc");
}

TEST(EngineRequestTest, TimeOutIsCode99WithEmptyReply) {
    ScriptedLink link(nullptr);
    const Outcome outcome = Request(link, false, 5);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.code, 99);
    EXPECT_TRUE(outcome.reply.empty());
}

TEST(EngineRequestTest, NoLinkDeadEngineOrRefusedSendIsCodeZero) {
    Outcome outcome;
    EXPECT_FALSE(RequestEngine(nullptr, L"C:\\x", outcome.reply, false, outcome.code, {}, QuickRequestOptions()));
    EXPECT_EQ(outcome.code, 0);
    ScriptedLink dead(Answer({L"R_SCAN::0::::C:/a/b.doc"}));
    dead.alive = false;
    EXPECT_FALSE(Request(dead).ok);
    EXPECT_TRUE(dead.sent.empty());
    ScriptedLink refusing(Answer({}));
    refusing.acceptSends = false;
    const Outcome refused = Request(refusing);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.code, 0);
}

TEST(EngineRequestTest, CancelEndsTheWait) {
    ScriptedLink link(nullptr);
    int asked = 0;
    Outcome outcome;
    EXPECT_FALSE(RequestEngine(&link, L"C:\\a\\b.doc", outcome.reply, false, outcome.code,
                               [&] { return ++asked >= 3; }, QuickRequestOptions(1000)));
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(outcome.code, 0);
}

}  // namespace
}  // namespace tessaly::test
