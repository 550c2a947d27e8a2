// The link's framing against a block this test holds itself, with a thread in the engine's role:
// lengths, the payload limit, what counts as taken, and every kind of receive length.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "ClsPipeShareMem.h"
#include "EngineLinkSupport.h"
#include "TextConvert.h"
#include "modCommon.h"

using namespace enginelink;
using tessaly::ClsPipeShareMem;

namespace {

class LinkFraming : public ::testing::Test {
protected:
    void SetUp() override {
        EndEngines();
        ::DeleteFileW(ErrLogPath().c_str());
        m_mapping.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 20480, L"zdv_share_mem_pipe"));
        ASSERT_TRUE(m_mapping);
        m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
        ASSERT_TRUE(m_view);
        std::memset(Base(), 0, 20480);
        ASSERT_TRUE(m_link.InitPipe());
    }
    void TearDown() override { StopTaker(); }

    char* Base() { return static_cast<char*>(m_view.get()); }
    void SetReceive(const std::string& length, const std::string& payload) {
        std::memcpy(Base() + 10244, payload.data(), payload.size());
        std::memcpy(Base() + 10240, length.data(), 4);
    }
    // In the engine's role: takes each message by zeroing only bytes 0-2 of the length.
    void StartTaker() {
        m_taker = std::thread([this] {
            volatile char* base = Base();
            while (!m_stop) {
                if (base[0] != 0) {
                    m_taken.assign(Base(), 4 + 8192);
                    base[0] = 0;
                    base[1] = 0;
                    base[2] = 0;
                }
                ::Sleep(1);
            }
        });
    }
    void StopTaker() {
        m_stop = true;
        if (m_taker.joinable()) m_taker.join();
    }

    tessaly::unique_kernel_handle m_mapping;
    tessaly::unique_view m_view;
    ClsPipeShareMem m_link;
    std::thread m_taker;
    std::atomic<bool> m_stop{false};
    std::string m_taken;
};

}  // namespace

TEST_F(LinkFraming, MessageOf4095BytesFitsAnd4096IsRefused) {
    StartTaker();
    const std::wstring fits = L"FEEDBACK::" + std::wstring(4095 - 10, L'x');
    ASSERT_TRUE(m_link.SendMsgToUTF8HexStr(fits));
    StopTaker();
    EXPECT_EQ(std::string(Base(), 4), std::string("\0\0\0" "2", 4));  // byte 3 left as it was: still taken
    const std::string expected = tessaly::WideToAnsi(tessaly::TextToHex(fits)) + "\r\n";
    EXPECT_EQ(expected.size(), 8192u);
    EXPECT_EQ(m_taken.substr(4, 8192), expected);

    EXPECT_FALSE(m_link.SendMsgToUTF8HexStr(fits + L"y"));
    EXPECT_EQ(CountOccurrences(ReadFileBytes(ErrLogPath()), "SendData: out of memory\r\n"), 1);
    // Non-ASCII text counts in UTF-8 bytes: 1365 three-byte characters are 4095 bytes.
    EXPECT_EQ(tessaly::TextToHex(std::wstring(1366, L'病')).size() / 2, 4098u);
}

TEST_F(LinkFraming, SendFramesLengthDigitsAndHexPayload) {
    StartTaker();
    ASSERT_TRUE(m_link.SendMsgToUTF8HexStr(L"AB"));
    StopTaker();
    EXPECT_EQ(m_taken.substr(0, 10), "00064142\r\n");
}

TEST_F(LinkFraming, SendNotTakenGivesUpAndLeavesTheMessage) {
    EXPECT_FALSE(m_link.SendMsgToUTF8HexStr(L"CLIENT::EXIT"));
    EXPECT_EQ(std::string(Base(), 4), "0026");
}

TEST_F(LinkFraming, ReceiveTakesAFramedMessage) {
    SetReceive("0022", tessaly::WideToAnsi(tessaly::TextToHex(L"INIT::PONG")) + "\r\n");
    std::wstring text = L"old";
    EXPECT_EQ(m_link.RecvMsgFromUTF8encoding(text, true), 10);
    EXPECT_EQ(text, L"INIT::PONG");
    EXPECT_EQ(std::string(Base() + 10240, 4), std::string(4, '\0'));
    EXPECT_EQ(m_link.RecvMsgFromUTF8encoding(text, true), 0);
    EXPECT_EQ(text, L"");

    const std::wstring path = L"R_SCAN::0::OK::C:/文档/病毒 样本.docm";
    const std::string hex = tessaly::WideToAnsi(tessaly::TextToHex(path)) + "\r\n";
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(hex.size()));
    SetReceive(digits, hex);
    EXPECT_EQ(m_link.RecvMsgFromUTF8encoding(text, true), static_cast<int>(path.size()));
    EXPECT_EQ(text, path);
}

TEST_F(LinkFraming, EmptyFirstLengthByteMeansNothingWaits) {
    SetReceive(std::string("\0" "022", 4), tessaly::WideToAnsi(tessaly::TextToHex(L"INIT::PONG")) + "\r\n");
    std::wstring text;
    EXPECT_EQ(m_link.RecvMsgFromUTF8encoding(text, true), 0);
    EXPECT_EQ(ReadFileBytes(ErrLogPath()), "");
}

TEST_F(LinkFraming, UnusableReceiveLengthsAreLoggedAndLeftInPlace) {
    std::wstring text;
    for (const char* length : {"12AB", "9999", "0000", "8193", " 12 "}) {
        ::DeleteFileW(ErrLogPath().c_str());
        SetReceive(length, "414243\r\n");
        EXPECT_EQ(m_link.RecvMsgFromUTF8encoding(text, true), 0) << length;
        EXPECT_EQ(m_link.RecvMsgFromUTF8encoding(text, true), 0) << length;
        EXPECT_EQ(text, L"");
        // Not emptied, so every receive reports it again.
        EXPECT_EQ(std::string(Base() + 10240, 4), length);
        EXPECT_EQ(CountOccurrences(ReadFileBytes(ErrLogPath()), "RecvData: out of memory\r\n"), 2) << length;
    }
}

TEST_F(LinkFraming, NothingWorksWithoutAMappedBlock) {
    m_link.UninitPipe();
    std::wstring text = L"x";
    EXPECT_FALSE(m_link.SendMsgToUTF8HexStr(L"CLIENT::EXIT"));
    EXPECT_EQ(m_link.RecvMsgFromUTF8encoding(text, true), 0);
    EXPECT_EQ(text, L"");
    EXPECT_EQ(std::string(Base(), 4), std::string(4, '\0'));
    // No engine marker: not alive, and asking it to quit is already done without a word sent.
    ASSERT_TRUE(m_link.InitPipe());
    EXPECT_FALSE(m_link.IsPipeAlive());
    EXPECT_TRUE(m_link.PostPipeServerExitMessage(100, 3));
    EXPECT_EQ(std::string(Base(), 4), std::string(4, '\0'));
}

TEST_F(LinkFraming, ReplyWhoseLengthIsSetDigitByDigitIsReadWhole) {
    const std::string payload = tessaly::WideToAnsi(tessaly::TextToHex(L"R_SCAN::0::OK::C:/a.doc")) + "\r\n";
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(payload.size()));
    std::memcpy(Base() + 10244, payload.data(), payload.size());
    std::thread engine([&] {
        volatile char* length = Base() + 10240;
        for (int i = 0; i < 4; ++i) {
            length[i] = digits[i];
            ::Sleep(3);
        }
    });
    std::wstring text;
    const ULONGLONG end = ::GetTickCount64() + 2000;
    while (m_link.RecvMsgFromUTF8encoding(text, true) == 0 && ::GetTickCount64() < end) {
    }
    engine.join();
    EXPECT_EQ(text, L"R_SCAN::0::OK::C:/a.doc");
    EXPECT_EQ(ReadFileBytes(ErrLogPath()), "") << "a length being written was taken for a broken one";
}
