// The link against an engine that misbehaves on purpose (fakeengine.exe as zdvcore.exe): not
// elevated, never taking a message, garbage lengths, exit texts instead of replies, dying or
// ignoring "SERVER::EXIT".
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ClsPipeShareMem.h"
#include "BoundedPoll.h"
#include "EngineLinkSupport.h"
#include "TextConvert.h"
#include "modCommon.h"

using namespace enginelink;
using tessaly::ClsPipeShareMem;

namespace {

class FakeEngine : public ::testing::Test {
protected:
    void SetUp() override {
        EndEngines();
        ::DeleteFileW(ErrLogPath().c_str());
        RecordedBoxes().clear();
    }
    void TearDown() override {
        if (!m_folder.empty()) StartsLogged(m_folder);
        EndEngines();
    }
    ClsPipeShareMem& Link(const std::string& config) {
        m_folder = MakeFakeEngineFolder(config);
        m_link = std::make_unique<ClsPipeShareMem>(m_folder);
        return *m_link;
    }
    std::string MailboxLength(std::uint32_t offset) {
        tessaly::unique_kernel_handle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, L"zdv_share_mem_pipe"));
        if (!mapping) return "<none>";
        tessaly::unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
        return view ? std::string(static_cast<const char*>(view.get()) + offset, 4) : "<none>";
    }

    std::wstring m_folder;
    std::unique_ptr<ClsPipeShareMem> m_link;
};

HANDLE g_victim = nullptr;
void CALLBACK KillVictim(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::TerminateProcess(g_victim, 1);
}

}  // namespace

TEST_F(FakeEngine, NotElevatedEngineIsKeptWhenElevationIsNotRequired) {
    ClsPipeShareMem& link = Link("idle=0");
    // The engine also sends an idle message just before its answer: the handshake waits on.
    ASSERT_TRUE(link.ConnectPipeServer(false, 1001));
    EXPECT_FALSE(link.isPipeServerRunAsAdmin());
    EXPECT_EQ(StartsLogged(m_folder).size(), 1u);
}

TEST_F(FakeEngine, NotElevatedEngineIsReplacedWhenElevationIsRequired) {
    ClsPipeShareMem& link = Link("idle=0");
    ASSERT_TRUE(link.ConnectPipeServer(true, 1000));
    const auto starts = StartsLogged(m_folder);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_NE(starts[0], starts[1]);
    EXPECT_EQ(std::to_string(MarkerHolderId()), starts[1]);
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST_F(FakeEngine, EngineThatNeverTakesAMessageFailsTheHandshake) {
    ClsPipeShareMem& link = Link("take=0");
    EXPECT_FALSE(link.ConnectPipeServer(false, 1001));
    // The request stays where it was written.
    EXPECT_EQ(MailboxLength(0), "0034");
    EXPECT_TRUE(link.IsPipeAlive());
}

TEST_F(FakeEngine, GarbageReplyLengthIsLoggedOnEveryReceive) {
    ClsPipeShareMem& link = Link("reply=garbage");
    ASSERT_TRUE(link.ConnectPipeServer(false, 1001));
    ASSERT_TRUE(link.SendMsgToUTF8HexStr(L"SCAN::C:/a.doc"));
    ASSERT_TRUE(WaitForMarker(true, 100));
    tessaly::PollUntil([&] { return MailboxLength(10240) == "12AB"; }, {2000, 1});
    std::wstring text = L"x";
    EXPECT_EQ(link.RecvMsgFromUTF8encoding(text, true), 0);
    EXPECT_EQ(link.RecvMsgFromUTF8encoding(text, true), 0);
    EXPECT_EQ(text, L"");
    EXPECT_EQ(MailboxLength(10240), "12AB");
    EXPECT_EQ(CountOccurrences(ReadFileBytes(ErrLogPath()), "RecvData: out of memory\r\n"), 2);
}

TEST_F(FakeEngine, ExitTextInPlaceOfAReplyReachesTheClient) {
    ClsPipeShareMem& link = Link("reply=clientexit");
    ASSERT_TRUE(link.ConnectPipeServer(false, 1001));
    EXPECT_EQ(Request(link, L"SCAN::C:/a.doc", L"C:/a.doc"), L"CLIENT::EXIT");
}

TEST_F(FakeEngine, EngineDyingDuringTheHandshakeFailsTheConnect) {
    ClsPipeShareMem& link = Link("dieonping=1");
    EXPECT_FALSE(link.ConnectPipeServer(false, 1001));
    EXPECT_FALSE(link.IsPipeAlive());
}

TEST_F(FakeEngine, EngineKilledDuringTheIdleWaitEndsItAtOnce) {
    ClsPipeShareMem& link = Link("idle=none");
    tessaly::unique_kernel_handle engine = StartProcess(m_folder + L"zdvcore.exe");
    ASSERT_TRUE(WaitForMarker(true, 10000));
    ASSERT_TRUE(link.InitPipe());
    g_victim = engine.get();
    ::SetTimer(nullptr, 0, 300, &KillVictim);
    EXPECT_FALSE(link.WaitForPipeIdle(1000, 20));
    EXPECT_EQ(::WaitForSingleObject(engine.get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(link.IsPipeAlive());
}

TEST_F(FakeEngine, EngineThatIgnoresExitFailsTheConnectWithTheMessageBox) {
    ClsPipeShareMem& link = Link("idle=none exit=0");
    ClsPipeShareMem::ConnectTiming quick;
    quick.idleIntervalMs = 100;
    quick.idleLimit = 3;
    quick.exitIntervalMs = 100;
    quick.exitLimit = 3;
    link.SetConnectTiming(quick);
    EXPECT_FALSE(link.ConnectPipeServer(false, 1001));
    ASSERT_EQ(RecordedBoxes().size(), 1u);
    EXPECT_EQ(RecordedBoxes()[0].text, std::wstring(L"查杀引擎加载失败，重新安装或联系作者QQ:") + tessaly::kSupportContact);
    EXPECT_EQ(RecordedBoxes()[0].caption, L"程序出错, 请重启电脑后再运行本程序");
    EXPECT_EQ(RecordedBoxes()[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_TRUE(link.IsPipeAlive());
    EXPECT_FALSE(link.PostPipeServerExitMessage(50, 2));
}

TEST_F(FakeEngine, MissingEngineFailsTheConnectWithoutAMessageBox) {
    ClsPipeShareMem link(TestRoot() + L"nowhere\\");
    EXPECT_FALSE(link.ConnectPipeServer(true, 1000));
    EXPECT_TRUE(RecordedBoxes().empty());
}
