// The engine link's mailboxes, waits, engine start and replacement, and handshake.
#include "ClsPipeShareMem.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DoEvents.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly {
namespace {

ClsPipeShareMem::MessageBoxFunction g_messageBox = &::MessageBoxW;

// One step of a poll: window events run, then a short wait that a window message cuts short.
// The step is far below the link's poll intervals so a reply is seen as soon as it is there.
void PollStep() noexcept {
    DoEvents();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
}

ULONGLONG Now() noexcept { return ::GetTickCount64(); }

std::wstring RemoveChars(std::wstring text, std::wstring_view chars) {
    std::erase_if(text, [&](wchar_t c) { return chars.find(c) != std::wstring_view::npos; });
    return text;
}

bool AllDigits(const unsigned char (&field)[kPipeLengthDigits]) {
    for (unsigned char c : field)
        if (c < '0' || c > '9') return false;
    return true;
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
        UninitPipe();
        return false;
    }
}

void ClsPipeShareMem::UninitPipe() noexcept {
    m_view.reset();
    m_mapping.reset();
}

std::size_t ClsPipeShareMem::ReadShared(std::span<unsigned char> buffer, std::size_t offset,
                                        std::size_t count) const noexcept {
    if (buffer.size() != count || !m_view || offset + count > static_cast<std::size_t>(m_blockSize)) return 0;
    volatile const unsigned char* source = Block() + offset;
    for (std::size_t i = 0; i < count; ++i) buffer[i] = source[i];
    return count;
}

bool ClsPipeShareMem::SendData(const std::wstring& payload) {
    const std::string bytes = WideToAnsi(payload + L"\r\n");
    const std::size_t n = bytes.size();
    if (n > static_cast<std::size_t>(m_payloadLimit)) {
        WriteErrLog(L"SendData: out of memory", kPipeErrLogName, false);
        return false;
    }
    char digits[kPipeLengthDigits + 1]{};
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(n));
    volatile unsigned char* mailbox = Block() + m_sendOffset;
    // Payload first, length last: the engine treats a non-zero length as a complete message, so it
    // must never see the length before the bytes it counts. A message still waiting is withdrawn
    // before its bytes are overwritten.
    for (std::size_t i = 0; i < kPipeLengthDigits; ++i) mailbox[i] = 0;
    ::MemoryBarrier();
    for (std::size_t i = 0; i < n; ++i) mailbox[kPipeLengthDigits + i] = static_cast<unsigned char>(bytes[i]);
    ::MemoryBarrier();
    for (std::size_t i = 0; i < kPipeLengthDigits; ++i) mailbox[i] = static_cast<unsigned char>(digits[i]);
    ::MemoryBarrier();

    const ULONGLONG deadline = Now() + 3000;
    for (;;) {
        // Only the first three bytes tell that the engine took the message.
        if (mailbox[0] == 0 && mailbox[1] == 0 && mailbox[2] == 0) return true;
        if (Now() >= deadline) return false;
        PollStep();
    }
}

bool ClsPipeShareMem::SendMsgToUTF8HexStr(const std::wstring& SendText) noexcept {
    try {
        if (!m_view) return false;
        return SendData(TextToHex(SendText));
    } catch (...) {
        return false;
    }
}

std::wstring ClsPipeShareMem::RecvData() {
    unsigned char field[kPipeLengthDigits]{};
    if (ReadShared(field, m_recvOffset, kPipeLengthDigits) != kPipeLengthDigits || field[0] == 0) return {};
    // A length of non-digits is as unusable as one out of range, and is reported the same way.
    int n = -1;
    if (AllDigits(field)) n = (field[0] - '0') * 1000 + (field[1] - '0') * 100 + (field[2] - '0') * 10 + (field[3] - '0');
    if (n < 1 || n > m_payloadLimit) {
        WriteErrLog(L"RecvData: out of memory", kPipeErrLogName, false);
        return {};
    }
    ::MemoryBarrier();
    std::vector<unsigned char> payload(static_cast<std::size_t>(n));
    ReadShared(payload, m_recvOffset + kPipeLengthDigits, payload.size());
    std::wstring text = AnsiToWide(std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size()));
    text = TrimSpaces(RemoveChars(std::move(text), std::wstring_view(L"\0", 1)));
    ::MemoryBarrier();
    volatile unsigned char* length = Block() + m_recvOffset;
    for (std::size_t i = 0; i < kPipeLengthDigits; ++i) length[i] = 0;
    return text;
}

std::int32_t ClsPipeShareMem::RecvMsgFromUTF8encoding(std::wstring& retstring, bool trimflag) noexcept {
    try {
        retstring.clear();
        if (!m_view) return 0;
        retstring = HexToText(RecvData());
        if (trimflag) retstring = RemoveChars(std::move(retstring), std::wstring_view(L"\r\n\0", 3));
        return static_cast<std::int32_t>(retstring.size());
    } catch (...) {
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
        if (!EndsWithNoCase(std::wstring_view(image, size), std::wstring(L"\\") + kEngineFileName)) return;
        m_engineProcess = std::move(process);
    } catch (...) {
    }
}

bool ClsPipeShareMem::IsPipeAlive() noexcept {
    try {
        if (!IsRunMarkerPresent(kMarkerEngine, L"")) {
            m_engineProcess.reset();
            return false;
        }
        if (m_engineProcess && ::WaitForSingleObject(m_engineProcess.get(), 0) == WAIT_TIMEOUT) return true;
        m_engineProcess.reset();
        if (!m_wmi.IsExistProcess(kEngineFileName)) return false;
        RememberEngineProcess();
        return true;
    } catch (...) {
        return false;
    }
}

bool ClsPipeShareMem::WaitForPipeIdle(std::int32_t interval_ms, std::int32_t waitlimit) noexcept {
    try {
        const ULONGLONG deadline = Now() + static_cast<ULONGLONG>(std::max(interval_ms, 1)) * std::max(waitlimit, 1);
        for (;;) {
            DoEvents();
            if (!IsPipeAlive()) return false;
            // An engine slower to create its block than the connect's short pause is still heard.
            if (!m_view) InitPipe();
            std::wstring message;
            if (RecvMsgFromUTF8encoding(message, true) > 0 && message.starts_with(L"SERVER::IDLE::")) {
                m_isPipeServerRunAsAdmin = TrimSpaces(message.substr(message.size() - 1)) == L"1";
                return true;
            }
            if (Now() >= deadline) return false;
            PollStep();
        }
    } catch (...) {
        return false;
    }
}

bool ClsPipeShareMem::PostPipeServerExitMessage(std::int32_t interval_ms, std::int32_t waitlimit) noexcept {
    try {
        if (!IsPipeAlive()) return true;
        SendMsgToUTF8HexStr(L"SERVER::EXIT");
        const ULONGLONG deadline = Now() + static_cast<ULONGLONG>(std::max(interval_ms, 1)) * std::max(waitlimit, 1);
        for (;;) {
            DoEvents();
            if (!IsPipeAlive()) return true;
            if (Now() >= deadline) return false;
            PollStep();
        }
    } catch (...) {
        return false;
    }
}

bool ClsPipeShareMem::StartEngine() {
    const bool started = ShellRun(m_appFolder + kEngineFileName, L"", kWindowHidden);
    // The engine holds its marker only once its block is there; a started engine gets a bounded
    // moment to come up instead of the bare 100 ms a slow start would miss.
    ::Sleep(100);
    if (started) {
        const ULONGLONG deadline = Now() + static_cast<ULONGLONG>(std::max(m_timing.startWaitMs, 0));
        while (!IsRunMarkerPresent(kMarkerEngine, L"") && Now() < deadline) PollStep();
    }
    return InitPipe();
}

bool ClsPipeShareMem::ConnectPipeServer(bool RequiredAdmin, std::int32_t client_id) noexcept {
    try {
        bool mapped = InitPipe();
        if (!mapped) mapped = StartEngine();
        bool idle = WaitForPipeIdle(m_timing.idleIntervalMs, m_timing.idleLimit);
        if (!idle || (RequiredAdmin && !m_isPipeServerRunAsAdmin)) {
            if (!PostPipeServerExitMessage(m_timing.exitIntervalMs, m_timing.exitLimit)) {
                const std::wstring text = std::wstring(kEngineLoadFailedText) + kSupportContactQQ;
                g_messageBox(nullptr, text.c_str(), L"程序出错, 请重启电脑后再运行本程序", MB_OK | MB_ICONEXCLAMATION);
                return false;
            }
            m_engineProcess.reset();
            mapped = StartEngine();
            idle = WaitForPipeIdle(m_timing.idleIntervalMs, m_timing.idleLimit);
            if (!idle) return false;
        }
        if (!mapped && !m_view) InitPipe();
        if (!SendMsgToUTF8HexStr(L"INIT::PING::" + std::to_wstring(client_id))) return false;
        const ULONGLONG deadline =
            Now() + static_cast<ULONGLONG>(std::max(m_timing.handshakeIntervalMs, 1)) * std::max(m_timing.handshakePolls, 1);
        for (;;) {
            DoEvents();
            if (!IsPipeAlive()) return false;
            std::wstring message;
            RecvMsgFromUTF8encoding(message, true);
            if (message == L"INIT::PONG") return true;
            if (Now() >= deadline) return false;
            PollStep();
        }
    } catch (...) {
        return false;
    }
}

}  // namespace tessaly
