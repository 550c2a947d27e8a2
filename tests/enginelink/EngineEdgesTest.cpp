// The real engine at the edges of the link: writers that set a message a byte at a time, requests
// whose replies would not fit the framing, a client that never takes its replies, the texts a user
// sees, and the end of the engine once an installation begins.
#include <gtest/gtest.h>

#include <string>

#include "BoundedPoll.h"
#include "ClsPipeShareMem.h"
#include "EngineLinkFraming.h"
#include "EngineLinkMailbox.h"
#include "EngineLinkMessages.h"
#include "EngineLinkSupport.h"
#include "ProgramFiles.h"
#include "ScanPageEngine.h"
#include "TextConvert.h"
#include "modCommon.h"

using namespace enginelink;
using namespace tessaly;

namespace {

void PauseMicroseconds(int microseconds) {
    LARGE_INTEGER frequency{}, start{}, now{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    do {
        ::QueryPerformanceCounter(&now);
    } while ((now.QuadPart - start.QuadPart) * 1000000 < frequency.QuadPart * microseconds);
}

bool WaitFor(const std::function<bool()>& done, std::uint32_t ms) {
    return PollUntil(done, PollPlan{ms, 1, 0, true}) == PollResult::Done;
}

class EngineEdges : public RealEngineFixture {
protected:
    void SetUp() override {
        RealEngineFixture::SetUp();
        Connect(m_link);
        m_mapping.reset(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kPipeMappingName));
        ASSERT_TRUE(m_mapping);
        m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
        ASSERT_TRUE(m_view);
    }
    void TearDown() override {
        m_view.reset();
        m_mapping.reset();
        RealEngineFixture::TearDown();
    }
    unsigned char* Block() { return static_cast<unsigned char*>(m_view.get()); }
    LinkMailbox SendMailbox() { return LinkMailbox(Block() + kPipeSendOffset); }

    // Writes a request as a client of another make might: every byte on its own, with a pause
    // after each, the length digits after the payload or before it.
    void WriteBytewise(const std::wstring& text, bool lengthFirst) {
        const std::string payload = *EncodePayload(text);
        const std::string length = LengthFieldBytes(LengthFieldOf(payload.size()));
        volatile unsigned char* block = Block();
        auto writeLength = [&] {
            for (std::size_t i = 0; i < length.size(); ++i) {
                block[i] = static_cast<unsigned char>(length[i]);
                PauseMicroseconds(50);
            }
        };
        if (lengthFirst) writeLength();
        for (std::size_t i = 0; i < payload.size(); ++i) {
            block[kPipeLengthDigits + i] = static_cast<unsigned char>(payload[i]);
            PauseMicroseconds(50);
        }
        if (!lengthFirst) writeLength();
    }
    bool Taken() { return WaitFor([this] { return IsTakenField(SendMailbox().Length()); }, 3000); }
    // The message of the link that names the path, or "" after the time-out.
    std::wstring ReplyNaming(const std::wstring& enginePath, std::uint32_t ms = 5000) {
        std::wstring found;
        WaitFor(
            [&] {
                std::wstring message;
                m_link.RecvMsgFromUTF8encoding(message, true);
                if (ReplyNamesPath(message, enginePath) && message.find(L"::") != std::wstring::npos) found = message;
                return !found.empty();
            },
            ms);
        return found;
    }
    // The scan page's own request with a short deadline.
    bool PageRequest(const std::wstring& path, std::wstring& reply, bool clean = false) {
        PipeShareMemLink link(m_link);
        RequestEngineOptions options;
        options.polls = 50;
        std::int32_t code = 0;
        return RequestEngine(&link, path, reply, clean, code, [] { return false; }, options);
    }

    unique_kernel_handle m_mapping;
    unique_view m_view;
};

}  // namespace

TEST_F(EngineEdges, WriterThatPausesBetweenBytesLosesNoRequest) {
    int lost = 0;
    for (int i = 0; i < 100; ++i) {
        const std::wstring path = LinkPath(m_folder) + L"missing_" + std::to_wstring(i) + L".doc";
        WriteBytewise(L"SCAN::" + path, i % 2 == 1);
        ASSERT_TRUE(Taken()) << i;
        const std::wstring reply = ReplyNaming(path, 3000);
        if (!reply.starts_with(L"R_SCAN::-1::") || !reply.ends_with(L"::" + path)) ++lost;
    }
    EXPECT_EQ(lost, 0);
}

TEST_F(EngineEdges, RequestsAtTheFramingLimitGetRepliesThatFit) {
    std::vector<std::wstring> paths;
    for (std::size_t bytes = 4082; bytes <= 4089; ++bytes) paths.push_back(L"C:\\" + std::wstring(bytes - 3, L'a'));
    paths.push_back(L"C:\\" + std::wstring(1360, L'病'));
    paths.push_back(m_folder + L"a.doc::$DATA");
    for (const std::wstring& path : paths) {
        std::wstring reply;
        ASSERT_TRUE(PageRequest(path, reply)) << Utf8Size(path);
        EXPECT_TRUE(reply.starts_with(L"R_SCAN::-1::")) << WideToUtf8(reply.substr(0, 40));
        EXPECT_EQ(SplitReply(reply).size(), 4u);
        EXPECT_LE(Utf8Size(reply), kMessageTextLimit);
    }
}

TEST_F(EngineEdges, UnknownRequestOfNonUtf8BytesIsAnswered) {
    // 4095 bytes that are no UTF-8, the longest request the framing carries.
    SendMailbox().Publish(std::string(8190, 'F') + "\r\n");
    ASSERT_TRUE(Taken());
    std::wstring reply;
    WaitFor(
        [&] {
            m_link.RecvMsgFromUTF8encoding(reply, true);
            return reply.starts_with(L"R_ERROR::");
        },
        5000);
    EXPECT_TRUE(reply.starts_with(L"R_ERROR::-1::")) << WideToUtf8(reply.substr(0, 40));
    EXPECT_EQ(SplitReply(reply).size(), 4u);
    // And the engine goes on serving.
    std::wstring next;
    EXPECT_TRUE(PageRequest(m_folder + L"after.doc", next));
}

TEST_F(EngineEdges, ClientThatNeverReadsDoesNotStallAnother) {
    // The stuck client: its requests are taken, its replies never.
    for (int i = 0; i < 3; ++i) {
        SendMailbox().Publish(*EncodePayload(L"SCAN::" + LinkPath(m_folder) + L"stuck_" + std::to_wstring(i)));
        ASSERT_TRUE(Taken()) << "request " << i << " of the stuck client was not taken in time";
    }
    // Each live request is answered within the page's short poll, with its own reply.
    for (int i = 0; i < 5; ++i) {
        const std::wstring name = L"live_" + std::to_wstring(i) + L".doc";
        std::wstring reply;
        ASSERT_TRUE(PageRequest(m_folder + name, reply)) << "request " << i << " waited behind the stuck client";
        EXPECT_NE(reply.find(name), std::wstring::npos) << reply;
    }
}

TEST_F(EngineEdges, TextsAUserSeesAreChinese) {
    std::wstring reply;
    ASSERT_TRUE(PageRequest(m_folder, reply));
    EXPECT_EQ(SplitReply(reply)[2], L"不是文件");

    const std::wstring text = File(L"text.doc", "plain text, no document");
    ASSERT_TRUE(PageRequest(text, reply, true));
    EXPECT_EQ(SplitReply(reply)[2], L"文档已损坏，无法清除");
    const std::wstring package = File(L"plain.docx", MakeStoredZip({{"[Content_Types].xml", ContentTypes()}}));
    ASSERT_TRUE(PageRequest(package, reply, true));
    EXPECT_EQ(SplitReply(reply)[1], L"0");
    EXPECT_EQ(SplitReply(reply)[2], L"未发现宏，无需修复");
}

TEST_F(EngineEdges, EngineEndsOnceAnInstallationBegins) {
    unique_kernel_handle engine = MarkerHolder();
    ASSERT_TRUE(engine);
    {
        // The installation's marker, held as its process holds it: gone when closed.
        const std::wstring marker = GetCommonDataFolder() + kMarkerInstalling + L".run";
        unique_file installing(::CreateFileW(marker.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        ASSERT_TRUE(installing);
        EXPECT_EQ(::WaitForSingleObject(engine.get(), 5000), WAIT_OBJECT_0);
        EXPECT_FALSE(IsRunMarkerPresent(kMarkerEngine, L""));
        EXPECT_FALSE(m_link.IsPipeAlive());
        m_view.reset();
        m_mapping.reset();
        m_link.UninitPipe();
        const unique_kernel_handle leftover(::OpenFileMappingW(FILE_MAP_READ, FALSE, kPipeMappingName));
        EXPECT_FALSE(leftover) << "the block outlived the engine";

        // Started while the installation runs, it steps aside at once.
        unique_kernel_handle late = StartProcess(StageFolder() + kEngineProgramFile);
        ASSERT_TRUE(late);
        EXPECT_EQ(::WaitForSingleObject(late.get(), 5000), WAIT_OBJECT_0);
        EXPECT_FALSE(IsRunMarkerPresent(kMarkerEngine, L""));
    }
    ClsPipeShareMem again(StageFolder());
    EXPECT_TRUE(again.ConnectPipeServer(false, kClientIdGuard));
}
