// Dispatch of the link's vocabulary and the loop of the engine.
#include "EngineServer.h"

#include <string>

#include "DocumentFile.h"
#include "EngineLinkMessages.h"
#include "EngineLinkProtocol.h"
#include "EngineRhythm.h"
#include "FaultLog.h"
#include "ReasonTexts.h"
#include "UniqueHandle.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"

namespace tessaly::engine {
namespace {

// An announcement only after the mailbox stayed empty this long: a client that just took a reply
// usually sends its next request at once, and its reply then need not wait behind an idle text.
constexpr ULONGLONG kIdleAfterMs = 100;
// How often the loop looks for the installation's marker: it ends within about this time.
constexpr ULONGLONG kInstallCheckMs = 1000;
constexpr LONGLONG kFeedbackLogLimit = 1 << 20;

std::wstring After(const std::wstring& text, const wchar_t* prefix) {
    return text.substr(std::char_traits<wchar_t>::length(prefix));
}

RequestKind KindOf(const std::wstring& request) {
    if (request.starts_with(kScanRequestPrefix) || request.starts_with(kCleanRequestPrefix)) return RequestKind::File;
    if (request == kClientExitText || request.starts_with(kFeedbackPrefix)) return RequestKind::ScanEnd;
    return RequestKind::Other;
}

}  // namespace

bool IsProcessElevated() noexcept {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    unique_kernel_handle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

bool IsInstallationRunning() noexcept { return IsRunMarkerPresent(kMarkerInstalling, L""); }

void AppendFeedback(const std::wstring& statistics) noexcept {
    try {
        const std::wstring path = GetCommonDataFolder() + L"zdvcore_feedback.log";
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
            ((static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) > kFeedbackLogLimit)
            ::DeleteFileW(path.c_str());
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        wchar_t stamp[32]{};
        swprintf(stamp, std::size(stamp), L"%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay,
                 now.wHour, now.wMinute, now.wSecond);
        clsUTF8TextFile().WriteMsgToUTF8File(path, true, stamp + statistics, true);
    } catch (...) {
        LogCaughtFault(L"AppendFeedback");
    }
}

void EngineServer::ReplyToFile(bool clean, const std::wstring& path) noexcept {
    try {
        FileResult result = clean ? CleanDocument(m_analyzer, path) : ScanDocument(m_analyzer, path);
        result = ForUser(clean, std::move(result), path);
        m_block.Post(BuildReply(clean ? kCleanReplyPrefix : kScanReplyPrefix, result.code, result.text, path));
    } catch (...) {
        LogCaughtFault(L"EngineServer::ReplyToFile");
    }
}

bool EngineServer::Handle(const std::wstring& request) noexcept {
    try {
        if (request == kServerExitText) return false;
        if (request == kClientExitText) {
            // The client leaves; nothing to answer.
        } else if (request.starts_with(kPingPrefix)) {
            m_block.Post(kPongText);
        } else if (request.starts_with(kScanRequestPrefix)) {
            ReplyToFile(false, After(request, kScanRequestPrefix));
        } else if (request.starts_with(kCleanRequestPrefix)) {
            ReplyToFile(true, After(request, kCleanRequestPrefix));
        } else if (request.starts_with(kFeedbackPrefix)) {
            AppendFeedback(After(request, kFeedbackPrefix));
        } else {
            // Unknown or unreadable: the client still gets an answer and does not wait for one.
            m_block.Post(BuildReply(kErrorReplyPrefix, -1, L"无法识别的请求", request));
        }
        return true;
    } catch (...) {
        LogCaughtFault(L"EngineServer::Handle");
        return true;
    }
}

bool EngineServer::InstallationBegun(ULONGLONG now) noexcept {
    if (now - m_lastInstallCheck < kInstallCheckMs) return false;
    m_lastInstallCheck = now;
    return IsInstallationRunning();
}

void EngineServer::Run() noexcept {
    const std::wstring idleText = IdleText(m_elevated);
    EngineRhythm rhythm(::GetTickCount64());
    ULONGLONG emptySince = 0;
    m_block.Post(idleText);
    for (;;) {
        if (auto request = m_block.TakeRequest()) {
            if (!Handle(*request)) return;
            const ULONGLONG served = ::GetTickCount64();
            rhythm.Served(KindOf(*request), served);
            m_block.Flush(served);
            emptySince = 0;
            continue;
        }
        const ULONGLONG now = ::GetTickCount64();
        m_block.Flush(now);
        if (!m_block.OutboxEmpty()) {
            emptySince = 0;
        } else if (emptySince == 0) {
            emptySince = now;
        } else if (now - emptySince >= kIdleAfterMs && rhythm.SinceRequest(now) >= kIdleAfterMs) {
            m_block.Post(idleText);
            emptySince = 0;
        }
        if (InstallationBegun(now)) return;
        rhythm.Rest(now);
    }
}

}  // namespace tessaly::engine
