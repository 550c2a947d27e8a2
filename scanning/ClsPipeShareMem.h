// Client side of the engine link: the named shared-memory block "zdv_share_mem_pipe" with its two
// mailboxes, the start and replacement of the scan engine zdvcore.exe, and the handshake.
// The engine owns the mapping; a link object owns only its handle and view of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "ClsWMI.h"
#include "SupportContact.h"
#include "UniqueHandle.h"

namespace tessaly {

// The engine-failure text is followed by the support contact wherever it is shown.
inline constexpr wchar_t kEngineLoadFailedText[] = L"查杀引擎加载失败，重新安装或联系作者QQ:";
inline constexpr wchar_t kSupportContactQQ[] = TESSALY_SUPPORT_CONTACT;
inline constexpr wchar_t kEngineFileName[] = L"zdvcore.exe";
inline constexpr wchar_t kPipeMappingName[] = L"zdv_share_mem_pipe";
inline constexpr wchar_t kPipeErrLogName[] = L"PIPE_";

// Geometry of the shared block, the same on both sides of the link.
inline constexpr std::uint32_t kPipeBlockSize = 20480;
inline constexpr std::uint32_t kPipeSendOffset = 0;
inline constexpr std::uint32_t kPipeRecvOffset = kPipeBlockSize / 2;
inline constexpr std::uint32_t kPipeLengthDigits = 4;
inline constexpr std::uint32_t kPipePayloadLimit = 8192;

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
    bool SendData(const std::wstring& payload);
    std::size_t ReadShared(std::span<unsigned char> buffer, std::size_t offset, std::size_t count) const noexcept;
    std::wstring RecvData();
    bool StartEngine();
    void RememberEngineProcess() noexcept;
    volatile unsigned char* Block() const noexcept { return static_cast<volatile unsigned char*>(m_view.get()); }

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
    // The engine process found alive once, so that the liveness test in every poll need not ask
    // WMI again while that process runs.
    unique_kernel_handle m_engineProcess;
};

}  // namespace tessaly
