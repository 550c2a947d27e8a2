// The link against the real zdvcore.exe of the staged program folder: start, idle, handshake,
// scan and clean round trips on files written here, limits, replacement and exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "BoundedPoll.h"
#include "ClsPipeShareMem.h"
#include "EngineLinkSupport.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

using namespace enginelink;
using tessaly::ClsPipeShareMem;

namespace {

class RealEngine : public RealEngineFixture {};

}  // namespace

TEST_F(RealEngine, StartsAnnouncesIdleAndShakesHandsWithBothClients) {
    ASSERT_FALSE(tessaly::IsRunMarkerPresent(L"zdvcore", L""));
    Connect(m_link, false, 1001);
    EXPECT_TRUE(m_link.IsPipeAlive());
    EXPECT_EQ(m_link.isPipeServerRunAsAdmin(), TestProcessElevated());
    const DWORD engine = MarkerHolderId();
    ASSERT_NE(engine, 0u);

    // The main program's link: an elevated engine is kept, not replaced.
    ClsPipeShareMem main(StageFolder());
    ASSERT_TRUE(main.ConnectPipeServer(TestProcessElevated(), 1000));
    EXPECT_EQ(MarkerHolderId(), engine);
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(RealEngine, ScanRepliesCarryCodeTextAndThePathAsSent) {
    Connect(m_link);
    const std::wstring text = File(L"notes.doc", "just some text, not a document");
    EXPECT_TRUE(Scan(m_link, text).starts_with(L"R_SCAN::52::")) << Scan(m_link, text);
    const std::wstring zip = File(L"plain.docx", MakeStoredZip({{"[Content_Types].xml", ContentTypes()}}));
    const std::wstring reply = Scan(m_link, zip);
    EXPECT_TRUE(reply.starts_with(L"R_SCAN::0::")) << reply;
    EXPECT_TRUE(reply.ends_with(L"::" + LinkPath(zip))) << reply;

    const std::wstring chinese = File(L"宏病毒 样本.xls", "no header");
    const std::wstring chineseReply = Scan(m_link, chinese);
    EXPECT_TRUE(chineseReply.starts_with(L"R_SCAN::52::")) << chineseReply;
    EXPECT_TRUE(chineseReply.ends_with(L"::" + LinkPath(chinese)));
}

TEST_F(RealEngine, FilesThatCannotBeReadGetAnErrorReply) {
    Connect(m_link);
    for (const std::wstring& path : {m_folder + L"missing.doc", m_folder, L"C:\\" + std::wstring(3990, L'a') + L".doc"}) {
        const std::wstring reply = Scan(m_link, path);
        EXPECT_TRUE(reply.starts_with(L"R_SCAN::-1::")) << reply.substr(0, 60);
        EXPECT_TRUE(reply.ends_with(L"::" + LinkPath(path)));
        EXPECT_EQ(CountOccurrences(tessaly::WideToUtf8(reply), "::"), 3);
    }
    const std::wstring locked = File(L"locked.doc", "locked");
    tessaly::unique_file hold(::CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold);
    EXPECT_TRUE(Scan(m_link, locked).starts_with(L"R_SCAN::-1::"));
    EXPECT_TRUE(Clean(m_link, locked).starts_with(L"R_CLEAN::-1::"));
    EXPECT_TRUE(Request(m_link, L"SCAN::", L"R_SCAN").starts_with(L"R_SCAN::-1::"));
    // A request the engine does not know is answered too, and the engine goes on serving.
    EXPECT_TRUE(Request(m_link, L"HELLO::there", L"there").starts_with(L"R_ERROR::-1::"));
    EXPECT_TRUE(Scan(m_link, m_folder + L"missing.doc").starts_with(L"R_SCAN::-1::"));
}

TEST_F(RealEngine, LargeFileIsScannedThroughItsMapping) {
    Connect(m_link);
    const std::wstring path = m_folder + L"large.bin";
    {
        tessaly::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER size{};
        size.QuadPart = 400LL << 20;
        ASSERT_TRUE(::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.get()));
    }
    EXPECT_TRUE(Scan(m_link, path).starts_with(L"R_SCAN::52::"));
    EXPECT_TRUE(Scan(m_link, File(L"empty.doc", "")).starts_with(L"R_SCAN::52::"));
}

TEST_F(RealEngine, SecondEngineLeavesTheRunningOneServing) {
    Connect(m_link);
    const DWORD first = MarkerHolderId();
    tessaly::unique_kernel_handle second = StartProcess(StageFolder() + L"zdvcore.exe");
    ASSERT_TRUE(second);
    EXPECT_EQ(::WaitForSingleObject(second.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(MarkerHolderId(), first);
    EXPECT_TRUE(Scan(m_link, m_folder + L"none.doc").starts_with(L"R_SCAN::-1::"));
}

TEST_F(RealEngine, CleanLeavesDocumentsWithoutMacrosUntouched) {
    Connect(m_link);
    const std::string textBytes = "plain text";
    const std::wstring text = File(L"a.doc", textBytes);
    const std::wstring reply = Clean(m_link, text);
    EXPECT_TRUE(reply.starts_with(L"R_CLEAN::")) << reply;
    EXPECT_FALSE(reply.starts_with(L"R_CLEAN::1::"));
    EXPECT_EQ(ReadFileBytes(text), textBytes);

    const std::string zipBytes = MakeStoredZip({{"[Content_Types].xml", ContentTypes()}});
    const std::wstring zip = File(L"b.docx", zipBytes);
    EXPECT_FALSE(Clean(m_link, zip).starts_with(L"R_CLEAN::1::"));
    EXPECT_EQ(ReadFileBytes(zip), zipBytes);
}

TEST_F(RealEngine, CleanedDocumentIsReplacedOnlyByACopyThatScansClean) {
    Connect(m_link);
    const std::string macroDoc = MakeStoredZip({{"[Content_Types].xml", ContentTypes()},
                                                {"word/document.xml", "<w:document/>"},
                                                {"word/vbaProject.bin", std::string(600, 'V')}});
    const std::wstring path = File(L"macro.docm", macroDoc);
    const std::wstring reply = Clean(m_link, path);
    ASSERT_TRUE(reply.starts_with(L"R_CLEAN::")) << reply;
    if (reply.starts_with(L"R_CLEAN::1::")) {
        EXPECT_NE(ReadFileBytes(path), macroDoc);
        EXPECT_TRUE(Scan(m_link, path).starts_with(L"R_SCAN::0::"));
    } else {
        EXPECT_EQ(ReadFileBytes(path), macroDoc);
    }
    WIN32_FIND_DATAW data{};
    const tessaly::unique_find find(::FindFirstFileW((m_folder + L"*.zdvtmp").c_str(), &data));
    EXPECT_FALSE(find) << "temporary copy left behind";
}

TEST_F(RealEngine, FeedbackGoesToTheEngineLogAndOverlongMessagesAreRefused) {
    Connect(m_link);
    const std::wstring statistics = L"AppVer=2021.2.25&DataType=1&" + std::wstring(4095 - 38, L'z');
    ASSERT_EQ(tessaly::WideToUtf8(L"FEEDBACK::" + statistics).size(), 4095u);
    ASSERT_TRUE(m_link.SendMsgToUTF8HexStr(L"FEEDBACK::" + statistics));
    EXPECT_FALSE(m_link.SendMsgToUTF8HexStr(L"FEEDBACK::" + statistics + L"z"));
    EXPECT_EQ(CountOccurrences(ReadFileBytes(ErrLogPath()), "SendData: out of memory"), 1);
    ASSERT_TRUE(m_link.SendMsgToUTF8HexStr(L"CLIENT::EXIT"));
    // The engine handles one request at a time: once the next reply is there, the log is written.
    EXPECT_TRUE(Request(m_link, L"SCAN::x", L"::x").starts_with(L"R_SCAN::"));
    const std::string log = ReadFileBytes(tessaly::GetCommonDataFolder() + L"zdvcore_feedback.log");
    EXPECT_EQ(CountOccurrences(log, tessaly::WideToUtf8(statistics) + "\r\n"), 1);
}

TEST_F(RealEngine, ServerExitEndsTheProcessAndItsMarker) {
    Connect(m_link);
    tessaly::unique_kernel_handle engine = MarkerHolder();
    ASSERT_TRUE(engine);
    EXPECT_TRUE(m_link.PostPipeServerExitMessage(1000, 60));
    EXPECT_EQ(::WaitForSingleObject(engine.get(), 5000), WAIT_OBJECT_0);
    EXPECT_FALSE(tessaly::IsRunMarkerPresent(L"zdvcore", L""));
    EXPECT_FALSE(m_link.IsPipeAlive());
    EXPECT_TRUE(m_link.PostPipeServerExitMessage(1000, 60));
}

TEST_F(RealEngine, EngineReportingNoElevationIsReplacedWhenElevationIsRequired) {
    const std::wstring fake = MakeFakeEngineFolder("idle=0");
    tessaly::unique_kernel_handle notElevated = StartProcess(fake + L"zdvcore.exe");
    ASSERT_TRUE(WaitForMarker(true, 10000));
    ASSERT_TRUE(m_link.ConnectPipeServer(true, 1000));
    EXPECT_EQ(::WaitForSingleObject(notElevated.get(), 0), WAIT_OBJECT_0);
    EXPECT_NE(MarkerHolderId(), ::GetProcessId(notElevated.get()));
    MarkerHolder();
    EXPECT_EQ(m_link.isPipeServerRunAsAdmin(), TestProcessElevated());
    EXPECT_TRUE(Scan(m_link, m_folder + L"gone.doc").starts_with(L"R_SCAN::-1::"));
}

TEST_F(RealEngine, KilledEngineEndsTheWaitAtOnce) {
    Connect(m_link);
    tessaly::unique_kernel_handle engine = MarkerHolder();
    ASSERT_TRUE(engine);
    std::wstring drop;
    while (m_link.RecvMsgFromUTF8encoding(drop, true) > 0) {
    }
    ::TerminateProcess(engine.get(), 1);
    ::WaitForSingleObject(engine.get(), 5000);
    EXPECT_FALSE(m_link.WaitForPipeIdle(1000, 20));
    EXPECT_FALSE(m_link.IsPipeAlive());
}

TEST_F(RealEngine, RequestWhoseLengthLandsBeforeItsPayloadIsStillRead) {
    Connect(m_link);
    tessaly::unique_kernel_handle mapping(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"zdv_share_mem_pipe"));
    ASSERT_TRUE(mapping);
    tessaly::unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(view);
    volatile char* block = static_cast<volatile char*>(view.get());
    const std::string payload = tessaly::WideToAnsi(tessaly::TextToHex(L"SCAN::late.doc")) + "\r\n";
    for (std::size_t i = 0; i < payload.size(); ++i) block[4 + i] = 0;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(payload.size()));
    for (int i = 0; i < 4; ++i) block[i] = digits[i];
    ::Sleep(5);
    for (std::size_t i = 0; i < payload.size(); ++i) block[4 + i] = payload[i];
    std::wstring reply;
    tessaly::PollUntil(
        [&] {
            m_link.RecvMsgFromUTF8encoding(reply, true);
            return reply.find(L"late.doc") != std::wstring::npos;
        },
        {10000, 1});
    EXPECT_TRUE(reply.starts_with(L"R_SCAN::-1::")) << reply;
    EXPECT_TRUE(reply.ends_with(L"::late.doc"));
}
