// The engine link's mailboxes, waits, engine start and replacement, and handshake. Every wait keeps
// the deadline of its rule (count x interval) but tries again every millisecond or sooner,
// so an answer is seen as soon as it is there.
#include "ClsPipeShareMem.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "BoundedPoll.h"
#include "EngineLinkFraming.h"
#include "EngineLinkMailbox.h"
#include "EngineLinkMessages.h"
#include "FaultLog.h"
#include "ProgramFiles.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly {
namespace {

ClsPipeShareMem::MessageBoxFunction g_messageBox = &::MessageBoxW;

// Longest doze between two tries of a wait; a window message ends a doze early.
constexpr std::uint32_t kPollStepMs = 1;
// The engine takes a request within microseconds while it serves: yield a little before dozing.
constexpr std::uint32_t kSendSpinTries = 64;
// The sender's wait for the engine to take a message: 30 polls of 100 ms.
constexpr std::uint32_t kSendWaitMs = 30 * 100;
// How long an engine that sets the length digits one at a time may take to finish them.
constexpr std::uint32_t kPartialLengthWaitMs = 20;
// How often the connect's waits look for the installing marker.
constexpr std::uint64_t kInstallLookMs = 100;

std::uint32_t Deadline(std::int32_t intervalMs, std::int32_t limit) {
    return static_cast<std::uint32_t>(std::max(intervalMs, 1)) * static_cast<std::uint32_t>(std::max(limit, 1));
}

PollPlan WaitPlan(std::uint32_t deadlineMs) { return PollPlan{deadlineMs, kPollStepMs, 0, true}; }

// The variable the per-machine data folder is made from.
std::wstring DataRoot() {
    wchar_t buffer[MAX_PATH * 2]{};
    const DWORD n = ::GetEnvironmentVariableW(L"ProgramData", buffer, static_cast<DWORD>(std::size(buffer)));
    return n < std::size(buffer) ? std::wstring(buffer, n) : std::wstring();
}

}  // namespace

void ClsPipeShareMem::SetMessageBoxFunction(MessageBoxFunction function) noexcept {
    g_messageBox = function ? function : &::MessageBoxW;
}

ClsPipeShareMem::ClsPipeShareMem(std::wstring programFolder) {
    try {
        m_appFolder = programFolder.empty() ? GetAppFolder() : std::move(programFolder);
        if (!m_appFolder.empty() && m_appFolder.back() != L'\\') m_appFolder += L'\\';
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem");
    }
}

ClsPipeShareMem::~ClsPipeShareMem() { UninitPipe(); }

bool ClsPipeShareMem::InitPipe() noexcept {
    try {
        unique_kernel_handle mapping(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, m_mappingName.c_str()));
        if (!mapping) return false;
        // A second InitPipe maps afresh rather than leaking the earlier view.
        UninitPipe();
        unique_view view(::MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!view) return false;
        MEMORY_BASIC_INFORMATION info{};
        if (::VirtualQuery(view.get(), &info, sizeof info) == 0 ||
            info.RegionSize < static_cast<SIZE_T>(m_blockSize))
            return false;  // someone else's block of that name: too small to hold our mailboxes
        m_mapping = std::move(mapping);
        m_view = std::move(view);
        return true;
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::InitPipe");
        UninitPipe();
        return false;
    }
}

void ClsPipeShareMem::UninitPipe() noexcept {
    m_view.reset();
    m_mapping.reset();
}

bool ClsPipeShareMem::SendData(const std::wstring& text) {
    const std::optional<std::string> payload = EncodePayload(text);
    if (!payload) {
        WriteErrLog(L"SendData: out of memory", kPipeErrLogName, false);
        return false;
    }
    // The mailbox is not examined first: a message the engine has not taken yet is replaced.
    LinkMailbox mailbox(Block() + m_sendOffset);
    mailbox.Publish(*payload);
    const PollPlan plan{kSendWaitMs, kPollStepMs, kSendSpinTries, true};
    return PollUntil([&] { return IsTakenField(mailbox.Length()); }, plan) == PollResult::Done;
}

bool ClsPipeShareMem::SendMsgToUTF8HexStr(const std::wstring& SendText) noexcept {
    try {
        if (!m_view) return false;
        return SendData(SendText);
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::SendMsgToUTF8HexStr");
        return false;
    }
}

std::wstring ClsPipeShareMem::RecvData() {
    LinkMailbox mailbox(Block() + m_recvOffset);
    const LengthField field = mailbox.SettledLength(kPartialLengthWaitMs);
    const LengthReading reading = ReadLengthField(field);
    if (reading.state == LengthState::Empty) return {};
    if (reading.state != LengthState::Complete || reading.length > static_cast<std::size_t>(m_payloadLimit)) {
        // Left in place: every receive reports it again until the engine rewrites the mailbox.
        WriteErrLog(L"RecvData: out of memory", kPipeErrLogName, false);
        return {};
    }
    const std::string payload = mailbox.Payload(reading.length);
    // Replaced while it was copied: the newer message is read by the next receive.
    if (!mailbox.Take(field)) return {};
    return DecodePayload(payload);
}

std::int32_t ClsPipeShareMem::RecvMsgFromUTF8encoding(std::wstring& retstring, bool trimflag) noexcept {
    try {
        retstring.clear();
        if (!m_view) return 0;
        retstring = RecvData();
        if (trimflag) retstring = RemoveLineEnds(std::move(retstring));
        return static_cast<std::int32_t>(retstring.size());
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::RecvMsgFromUTF8encoding");
        retstring.clear();
        return 0;
    }
}

void ClsPipeShareMem::RememberEngineProcess() noexcept {
    try {
        const std::wstring marker = GetCommonDataFolder() + kMarkerEngine + L".run";
        unique_file file(::CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        char digits[16]{};
        DWORD read = 0;
        if (!::ReadFile(file.get(), digits, sizeof digits - 1, &read, nullptr) || read == 0) return;
        const DWORD pid = static_cast<DWORD>(std::strtoul(digits, nullptr, 10));
        if (pid == 0) return;
        unique_kernel_handle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
        if (!process) return;
        wchar_t image[MAX_PATH * 4]{};
        DWORD size = static_cast<DWORD>(std::size(image));
        if (!::QueryFullProcessImageNameW(process.get(), 0, image, &size)) return;
        if (!EndsWithNoCase(std::wstring_view(image, size), std::wstring(L"\\") + kEngineProgramFile)) return;
        m_engineProcess = std::move(process);
        m_engineDataRoot = DataRoot();
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::RememberEngineProcess");
    }
}

bool ClsPipeShareMem::IsRememberedEngineAlive() const noexcept {
    try {
        return m_engineProcess && ::WaitForSingleObject(m_engineProcess.get(), 0) == WAIT_TIMEOUT &&
               DataRoot() == m_engineDataRoot;
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::IsRememberedEngineAlive");
        return false;
    }
}

bool ClsPipeShareMem::IsPipeAlive() noexcept {
    try {
        if (IsRememberedEngineAlive()) return true;
        m_engineProcess.reset();
        if (!IsRunMarkerPresent(kMarkerEngine, L"")) return false;
        if (!m_wmi.IsExistProcess(kEngineProgramFile)) return false;
        RememberEngineProcess();
        return true;
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::IsPipeAlive");
        return false;
    }
}

bool ClsPipeShareMem::InstallationBegun() noexcept {
    if (m_installing) return true;
    const std::uint64_t now = PollClockMs();
    if (m_installLookMs != 0 && now - m_installLookMs < kInstallLookMs) return false;
    m_installLookMs = now;
    m_installing = IsRunMarkerPresent(kMarkerInstalling, L"");
    return m_installing;
}

bool ClsPipeShareMem::WaitForPipeIdle(std::int32_t interval_ms, std::int32_t waitlimit) noexcept {
    try {
        bool idle = false;
        PollUntil(
            [&] {
                if (InstallationBegun() || !IsPipeAlive()) return true;
                // An engine slower to create its block than the connect's short pause is still heard.
                if (!m_view) InitPipe();
                std::wstring message;
                RecvMsgFromUTF8encoding(message, true);
                idle = ReadIdleText(message, m_isPipeServerRunAsAdmin);
                return idle;
            },
            WaitPlan(Deadline(interval_ms, waitlimit)));
        return idle;
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::WaitForPipeIdle");
        return false;
    }
}

bool ClsPipeShareMem::PostPipeServerExitMessage(std::int32_t interval_ms, std::int32_t waitlimit) noexcept {
    try {
        if (!IsPipeAlive()) return true;
        SendMsgToUTF8HexStr(kServerExitText);
        return PollUntil([&] { return InstallationBegun() || !IsPipeAlive(); },
                         WaitPlan(Deadline(interval_ms, waitlimit))) == PollResult::Done &&
               !m_installing;
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::PostPipeServerExitMessage");
        return false;
    }
}

bool ClsPipeShareMem::StartEngine() {
    // The engine holds its marker only once its block is there; a started engine gets a bounded
    // moment to come up instead of a bare pause a slow start would miss.
    if (ShellRun(m_appFolder + kEngineProgramFile, L"", kWindowHidden))
        PollUntil([this] { return InstallationBegun() || IsRunMarkerPresent(kMarkerEngine, L""); },
                  WaitPlan(static_cast<std::uint32_t>(std::max(m_timing.startWaitMs, 0))));
    return InitPipe();
}

bool ClsPipeShareMem::ConnectPipeServer(bool RequiredAdmin, std::int32_t client_id) noexcept {
    try {
        m_installing = false;
        m_installLookMs = 0;
        if (InstallationBegun()) return false;
        bool mapped = InitPipe();
        if (!mapped) mapped = StartEngine();
        bool idle = WaitForPipeIdle(m_timing.idleIntervalMs, m_timing.idleLimit);
        if (m_installing) return false;
        if (!idle || (RequiredAdmin && !m_isPipeServerRunAsAdmin)) {
            const bool ended = PostPipeServerExitMessage(m_timing.exitIntervalMs, m_timing.exitLimit);
            if (m_installing) return false;
            if (!ended) {
                const std::wstring text = std::wstring(kEngineLoadFailedText) + kSupportContact;
                g_messageBox(nullptr, text.c_str(), L"程序出错, 请重启电脑后再运行本程序", MB_OK | MB_ICONEXCLAMATION);
                return false;
            }
            m_engineProcess.reset();
            mapped = StartEngine();
            idle = WaitForPipeIdle(m_timing.idleIntervalMs, m_timing.idleLimit);
            if (!idle || m_installing) return false;
        }
        if (!mapped && !m_view) InitPipe();
        if (!SendMsgToUTF8HexStr(PingText(client_id))) return false;
        bool answered = false;
        PollUntil(
            [&] {
                if (InstallationBegun() || !IsPipeAlive()) return true;
                std::wstring message;
                RecvMsgFromUTF8encoding(message, true);
                answered = message == kPongText;
                return answered;
            },
            WaitPlan(Deadline(m_timing.handshakeIntervalMs, m_timing.handshakePolls)));
        return answered;
    } catch (...) {
        LogCaughtFault(L"ClsPipeShareMem::ConnectPipeServer");
        return false;
    }
}

}  // namespace tessaly
