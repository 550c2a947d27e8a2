// Client side of the engine link: the named shared-memory block "zdv_share_mem_pipe" with its two
// mailboxes, the start and replacement of the scan engine zdvcore.exe, and the handshake.
// The engine owns the mapping; a link object owns only its handle and view of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ClsWMI.h"
#include "EngineLinkProtocol.h"
#include "SupportContact.h"
#include "UniqueHandle.h"

namespace tessaly {

// The engine-failure text is followed by the support contact wherever it is shown.
inline constexpr wchar_t kEngineLoadFailedText[] = L"查杀引擎加载失败，重新安装或联系作者QQ:";
inline constexpr wchar_t kPipeErrLogName[] = L"PIPE_";

class ClsPipeShareMem {
public:
    // Deadlines of the connect steps; the defaults are the link's own. Tests shorten them to reach
    // the failure paths without waiting a minute.
    struct ConnectTiming {
        std::int32_t idleIntervalMs = 1000;
        std::int32_t idleLimit = 20;
        std::int32_t exitIntervalMs = 1000;
        std::int32_t exitLimit = 60;
        std::int32_t handshakeIntervalMs = 200;
        std::int32_t handshakePolls = 301;
        // How long a freshly started engine may take to hold its marker.
        std::int32_t startWaitMs = 5000;
    };
    using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

    // programFolder: where zdvcore.exe is started from; the running program's folder by default.
    explicit ClsPipeShareMem(std::wstring programFolder = {});
    ~ClsPipeShareMem();
    ClsPipeShareMem(const ClsPipeShareMem&) = delete;
    ClsPipeShareMem& operator=(const ClsPipeShareMem&) = delete;

    [[nodiscard]] bool isPipeServerRunAsAdmin() const noexcept { return m_isPipeServerRunAsAdmin; }
    bool WaitForPipeIdle(std::int32_t interval_ms, std::int32_t waitlimit) noexcept;
    bool PostPipeServerExitMessage(std::int32_t interval_ms, std::int32_t waitlimit) noexcept;
    std::int32_t RecvMsgFromUTF8encoding(std::wstring& retstring, bool trimflag) noexcept;
    bool SendMsgToUTF8HexStr(const std::wstring& SendText) noexcept;
    bool IsPipeAlive() noexcept;
    bool InitPipe() noexcept;
    void UninitPipe() noexcept;
    bool ConnectPipeServer(bool RequiredAdmin, std::int32_t client_id) noexcept;

    void SetConnectTiming(const ConnectTiming& timing) noexcept { m_timing = timing; }
    // The connect failure's message box goes through this function (MessageBoxW by default).
    static void SetMessageBoxFunction(MessageBoxFunction function) noexcept;

private:
    // Frames the message text and waits until the engine took it.
    bool SendData(const std::wstring& text);
    // The text of the message waiting in the receive mailbox, taken; "" when none is usable.
    std::wstring RecvData();
    bool StartEngine();
    // True once the installing marker is there; looked at no oftener than every 100 ms. An
    // installation ends every wait of the connect: its installer waits for the programs to go.
    bool InstallationBegun() noexcept;
    void RememberEngineProcess() noexcept;
    bool IsRememberedEngineAlive() const noexcept;
    unsigned char* Block() const noexcept { return static_cast<unsigned char*>(m_view.get()); }

    ClsWMI m_wmi;
    std::wstring m_mappingName = kPipeMappingName;
    unique_kernel_handle m_mapping;
    unique_view m_view;
    std::int32_t m_blockSize = kPipeBlockSize;
    std::int32_t m_recvOffset = kPipeRecvOffset;
    std::int32_t m_sendOffset = kPipeSendOffset;
    std::int32_t m_payloadLimit = kPipePayloadLimit;
    bool m_isPipeServerRunAsAdmin = false;
    std::wstring m_appFolder;
    ConnectTiming m_timing;
    // The engine process found holding the marker, and the data folder the marker was found in.
    // While that process runs its marker cannot vanish (it is held open without delete sharing), so
    // the liveness test in every poll needs neither WMI nor the file system again.
    unique_kernel_handle m_engineProcess;
    std::wstring m_engineDataRoot;
    bool m_installing = false;
    std::uint64_t m_installLookMs = 0;
};

}  // namespace tessaly
