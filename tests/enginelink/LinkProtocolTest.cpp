// The link's protocol as pure functions: length field states, payload framing and its limit,
// replies that always fit one message and still name their request, the statistics text, and the
// atomic mailbox on a block of the test's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "EngineLinkFeedback.h"
#include "EngineLinkFraming.h"
#include "EngineLinkMailbox.h"
#include "EngineLinkMessages.h"
#include "TextConvert.h"

using namespace tessaly;

namespace {

LengthReading Read(std::string_view bytes) { return ReadLengthField(LengthFieldFromBytes(bytes)); }

std::string Bytes(const char (&literal)[5]) { return std::string(literal, 4); }

// A reply must be one message with exactly four fields.
void ExpectWellFormed(const std::wstring& reply) {
    EXPECT_LE(Utf8Size(reply), kMessageTextLimit);
    EXPECT_TRUE(EncodePayload(reply).has_value());
    EXPECT_EQ(SplitReply(reply).size(), 4u) << WideToUtf8(reply.substr(0, 80));
}

}  // namespace

TEST(LinkLengthField, StatesOfTheFourBytes) {
    EXPECT_EQ(Read(Bytes("0042")).state, LengthState::Complete);
    EXPECT_EQ(Read(Bytes("0042")).length, 42u);
    EXPECT_EQ(Read(Bytes("8192")).length, 8192u);
    EXPECT_EQ(Read(Bytes("\0\0\0\0")).state, LengthState::Empty);
    EXPECT_EQ(Read(Bytes("\0" "042")).state, LengthState::Empty);  // only byte 0 tells
    // A writer that sets one digit after the other is not done yet.
    EXPECT_EQ(Read(Bytes("0\0\0\0")).state, LengthState::Partial);
    EXPECT_EQ(Read(Bytes("004\0")).state, LengthState::Partial);
    for (const char* bad : {"12AB", "0000", "8193", "9999", " 12 ", "-001"})
        EXPECT_EQ(Read(std::string(bad, 4)).state, LengthState::Unusable) << bad;
}

TEST(LinkLengthField, DigitsAndTakenTest) {
    EXPECT_EQ(LengthFieldBytes(LengthFieldOf(42)), "0042");
    EXPECT_EQ(LengthFieldBytes(LengthFieldOf(8192)), "8192");
    EXPECT_TRUE(IsTakenField(0));
    EXPECT_TRUE(IsTakenField(LengthFieldFromBytes(Bytes("\0\0\0" "2"))));  // byte 3 is not looked at
    EXPECT_FALSE(IsTakenField(LengthFieldFromBytes(Bytes("\0\0" "4\0"))));
}

TEST(LinkPayload, HexUtf8AndLineEndUpToTheLimit) {
    EXPECT_EQ(EncodePayload(L"AB"), "4142\r\n");
    EXPECT_EQ(EncodePayload(L"病"), "E79785\r\n");
    EXPECT_EQ(EncodePayload(std::wstring(4095, L'x'))->size(), 8192u);
    EXPECT_FALSE(EncodePayload(std::wstring(4096, L'x')));
    EXPECT_TRUE(EncodePayload(std::wstring(1365, L'病')));
    EXPECT_FALSE(EncodePayload(std::wstring(1366, L'病')));
    EXPECT_EQ(Utf8Size(L"a病\U0001F600"), 8u);
}

TEST(LinkPayload, DecodingDropsNulsBlanksAndStopsAtTheLineEnd) {
    EXPECT_EQ(DecodePayload("494E49543A3A504F4E47\r\n"), L"INIT::PONG");
    EXPECT_EQ(DecodePayload(std::string("  4142\0\0\r\n", 10)), L"AB");
    EXPECT_EQ(DecodePayload("414\r\n"), L"");  // odd number of characters
    EXPECT_EQ(RemoveLineEnds(DecodePayload("410D0A42\r\n")), L"AB");
    // Bytes that are no UTF-8 still decode to text, one replacement character each.
    const std::wstring odd = DecodePayload("FFFE41\r\n");
    EXPECT_EQ(odd.back(), L'A');
    EXPECT_GE(odd.size(), 2u);
}

TEST(LinkText, CutsAtWholeCharacters) {
    EXPECT_EQ(CutToUtf8Bytes(L"ab病c", 4), L"ab");
    EXPECT_EQ(CutToUtf8Bytes(L"ab病c", 5), L"ab病");
    EXPECT_EQ(CutToUtf8Bytes(L"a\U0001F600", 4), L"a");  // a surrogate pair stays whole
    EXPECT_EQ(CutToUtf8Bytes(L"a\U0001F600", 5), L"a\U0001F600");
    EXPECT_EQ(Utf8Size(std::wstring(1, static_cast<wchar_t>(0xD800))), 3u);  // a lone surrogate goes as U+FFFD
}

TEST(LinkMessages, HandshakeIdleAndExitTexts) {
    EXPECT_EQ(PingText(kClientIdMain), L"INIT::PING::1000");
    EXPECT_EQ(PingText(kClientIdGuard), L"INIT::PING::1001");
    bool elevated = false;
    EXPECT_TRUE(ReadIdleText(IdleText(true), elevated));
    EXPECT_TRUE(elevated);
    EXPECT_TRUE(ReadIdleText(L"SERVER::IDLE::0", elevated));
    EXPECT_FALSE(elevated);
    elevated = true;
    EXPECT_FALSE(ReadIdleText(L"xSERVER::IDLE::0", elevated));
    EXPECT_FALSE(ReadIdleText(L"", elevated));
    EXPECT_TRUE(elevated);
    EXPECT_TRUE(IsEngineExitText(L"CLIENT::EXIT"));
    EXPECT_TRUE(IsEngineExitText(L"SERVER::EXIT"));
    EXPECT_FALSE(IsEngineExitText(L"SERVER::EXIT "));
}

TEST(LinkReplies, FourFieldsWhateverTheTextHolds) {
    EXPECT_EQ(BuildReply(kScanReplyPrefix, 0, L"OK", L"C:/a/b.doc"), L"R_SCAN::0::OK::C:/a/b.doc");
    EXPECT_EQ(BuildReply(kCleanReplyPrefix, 3, L"a::b\r\nc:", L"C:/x.doc"), L"R_CLEAN::3::a:b  c::C:/x.doc");
    EXPECT_EQ(BuildReply(kScanReplyPrefix, -1, L"", L""), L"R_SCAN::-1::::");
    ExpectWellFormed(BuildReply(kScanReplyPrefix, 2, L"Virus::Name:::", L"C:/x.doc"));
}

TEST(LinkReplies, PathWithSeparatorsStillNamesItsRequest) {
    const std::wstring path = L"C:/docs/a.doc::$DATA";
    const std::wstring reply = BuildReply(kScanReplyPrefix, 0, L"OK", path);
    ExpectWellFormed(reply);
    EXPECT_EQ(SplitReply(reply)[3], L"C:/docs/a.doc:$DATA");
    EXPECT_TRUE(ReplyNamesPath(reply, path));
    EXPECT_FALSE(ReplyNamesPath(reply, L"C:/docs/b.doc::$DATA"));
    // An ordinary path is carried as it is.
    EXPECT_EQ(ReplyPathField(L"C:/文档/a b.doc"), L"C:/文档/a b.doc");
}

TEST(LinkReplies, LongestRequestsGetRepliesThatFitAndNameThem) {
    // Every path a request can carry: up to 4095 - 6 bytes after "SCAN::".
    for (std::size_t bytes = 4060; bytes <= 4089; ++bytes) {
        const std::wstring path = L"C:/" + std::wstring(bytes - 3, L'a');
        ASSERT_TRUE(EncodePayload(L"SCAN::" + path)) << bytes;
        for (std::int32_t code : {-1, 0, 52, -2147483647 - 1}) {
            const std::wstring reply = BuildReply(kCleanReplyPrefix, code, L"无法清除，文件未改动", path);
            ExpectWellFormed(reply);
            EXPECT_TRUE(ReplyNamesPath(reply, path)) << bytes;
        }
    }
    // A path up to the reply's limit is carried whole, the text giving way first.
    const std::wstring whole = L"C:/" + std::wstring(kReplyPathLimit - 3, L'b');
    const std::wstring reply = BuildReply(kScanReplyPrefix, 0, std::wstring(3000, L'病'), whole);
    ExpectWellFormed(reply);
    EXPECT_TRUE(reply.ends_with(L"::" + whole));
}

TEST(LinkReplies, ChinesePathsAreCutBetweenCharacters) {
    const std::wstring path = L"C:/" + std::wstring(1360, L'病');
    ASSERT_TRUE(EncodePayload(L"SCAN::" + path));
    const std::wstring reply = BuildReply(kScanReplyPrefix, -1, L"文件不存在", path);
    ExpectWellFormed(reply);
    EXPECT_TRUE(ReplyNamesPath(reply, path));
    const std::wstring field = SplitReply(reply)[3];
    EXPECT_TRUE(path.starts_with(field));
    EXPECT_EQ(field.back(), L'病');
}

TEST(LinkReplies, UnknownRequestOfAnyBytesIsAnsweredInOneMessage) {
    const std::wstring request = DecodePayload(std::string(8190, 'F') + "\r\n");  // 4095 bytes 0xFF
    const std::wstring reply = BuildReply(kErrorReplyPrefix, -1, L"无法识别的请求", request);
    ExpectWellFormed(reply);
    EXPECT_TRUE(reply.starts_with(L"R_ERROR::-1::无法识")) << "the text gives way to the echo";
}

TEST(LinkFeedback, StatisticsInTheirOrder) {
    FeedbackStatistics s;
    s.AppVersion = L"1.0.5";
    s.FromSource = 2;
    s.ScanUsedTime = 12;
    s.TotalCount = 340;
    s.SuspectedCount = 1;
    EXPECT_EQ(FeedbackMessage(BuildFeedbackText(s)),
              L"FEEDBACK::AppVer=1.0.5&DataType=1&FromSource=2&ScanUsedTime=12&TotalCount=340&VirusCount=0&"
              L"CleanedCount=0&SuspectedCount=1&EncryptedCount=0&CleanFailedCount=0&BadDocFileCount=0");
}

TEST(LinkFeedback, LongNameListIsCutAtAWholeName) {
    FeedbackStatistics s;
    s.AppVersion = L"2021.2.25";
    s.VirusCount = 600;
    s.CleanUsedTime = 9;
    for (int i = 0; i < 600; ++i) s.VirusNames.push_back(L"W97M.Name," + std::to_wstring(i));
    const std::wstring message = FeedbackMessage(BuildFeedbackText(s));
    EXPECT_LE(Utf8Size(message), kMessageTextLimit);
    EXPECT_GE(Utf8Size(message), kMessageTextLimit - 16);
    const std::wstring list = message.substr(message.find(L"&VirusNameList=") + 15);
    EXPECT_TRUE(list.starts_with(L"W97M.Name0,W97M.Name1,"));
    const std::wstring last = list.substr(list.rfind(L',') + 1);
    EXPECT_TRUE(last.starts_with(L"W97M.Name")) << WideToUtf8(last);
    EXPECT_LT(std::stoi(last.substr(9)), 599);

    // Not even one name fits: the list is left out, the counts still go.
    s.VirusNames = {std::wstring(5000, L'x')};
    const std::wstring without = BuildFeedbackText(s);
    EXPECT_EQ(without.find(L"VirusNameList"), std::wstring::npos);
    EXPECT_TRUE(without.ends_with(L"&CleanUsedTime=9"));
}

class LinkMailboxTest : public ::testing::Test {
protected:
    alignas(8) unsigned char m_block[4 + 8192 + 16]{};
    LinkMailbox m_mailbox{m_block};
};

TEST_F(LinkMailboxTest, PublishTakeAndWithdraw) {
    m_mailbox.Publish("4142\r\n");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(m_block), 10), "00064142\r\n");
    const LengthField seen = m_mailbox.Length();
    EXPECT_EQ(m_mailbox.Payload(6), "4142\r\n");
    // A message replaced after it was read is not taken: the newer one stays.
    m_mailbox.Publish("41424344\r\n");
    EXPECT_FALSE(m_mailbox.Take(seen));
    EXPECT_EQ(LengthFieldBytes(m_mailbox.Length()), "0010");
    EXPECT_TRUE(m_mailbox.Take(m_mailbox.Length()));
    EXPECT_EQ(m_mailbox.Length(), 0u);
}

TEST_F(LinkMailboxTest, LengthSetDigitByDigitIsWaitedFor) {
    std::thread writer([this] {
        volatile unsigned char* field = m_block;
        for (char digit : std::string("0042")) {
            *field++ = static_cast<unsigned char>(digit);
            ::Sleep(2);
        }
    });
    while (static_cast<volatile unsigned char*>(m_block)[0] == 0) ::SwitchToThread();
    const LengthReading reading = ReadLengthField(m_mailbox.SettledLength(1000));
    writer.join();
    EXPECT_EQ(reading.state, LengthState::Complete);
    EXPECT_EQ(reading.length, 42u);
}
