// Dispatch of the link's vocabulary and the polling rhythm of the engine.
#include "EngineServer.h"

#include <string>

#include "DocumentFile.h"
#include "UniqueHandle.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"

namespace tessaly::engine {
namespace {

// An announcement only after the mailbox stayed empty this long: a client that just took a reply
// usually sends its next request at once, and its reply then need not wait behind an idle text.
constexpr ULONGLONG kIdleAfterMs = 100;
// Poll fast while clients are active, slower when nobody has asked for a while: a scan sends its
// requests back to back, while an engine left idle all day should hardly wake up.
constexpr ULONGLONG kBusyWindowMs = 3000;
constexpr ULONGLONG kQuietWindowMs = 60000;
constexpr DWORD kBusyStepMs = 1;
constexpr DWORD kQuietStepMs = 10;
constexpr DWORD kDormantStepMs = 50;

DWORD PollStepAfter(ULONGLONG sinceActivity) {
    if (sinceActivity < kBusyWindowMs) return kBusyStepMs;
    return sinceActivity < kQuietWindowMs ? kQuietStepMs : kDormantStepMs;
}
// How long a reply waits for a client to take the previous message before replacing it.
constexpr DWORD kReplyWaitMs = 5000;
constexpr LONGLONG kFeedbackLogLimit = 1 << 20;

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
    }
}

void EngineServer::Reply(const std::wstring& text) noexcept { m_block.Post(text, kReplyWaitMs); }

void EngineServer::ReplyToFile(const wchar_t* replyPrefix, bool clean, const std::wstring& path) noexcept {
    try {
        const FileResult result = clean ? CleanDocument(m_analyzer, path) : ScanDocument(m_analyzer, path);
        const std::wstring head = std::wstring(replyPrefix) + std::to_wstring(result.code) + L"::";
        // The path goes back exactly as it came; the text gives way when the reply would not fit.
        if (!m_block.Post(head + result.text + L"::" + path, kReplyWaitMs))
            m_block.Post(head + L"::" + path, kReplyWaitMs);
    } catch (...) {
    }
}

bool EngineServer::Handle(const std::wstring& request) noexcept {
    try {
        if (request == L"SERVER::EXIT") return false;
        if (request == L"CLIENT::EXIT") return true;
        if (request.starts_with(L"INIT::PING")) {
            Reply(L"INIT::PONG");
        } else if (request.starts_with(L"SCAN::")) {
            ReplyToFile(L"R_SCAN::", false, request.substr(6));
        } else if (request.starts_with(L"CLEAN::")) {
            ReplyToFile(L"R_CLEAN::", true, request.substr(7));
        } else if (request.starts_with(L"FEEDBACK::")) {
            AppendFeedback(request.substr(10));
        } else {
            // Unknown or unreadable: the client still gets an answer and does not wait for one.
            std::wstring echo = request.substr(0, 3000);
            Reply(L"R_ERROR::-1::" + ReplyFieldText(L"无法识别的请求") + L"::" + echo);
        }
        return true;
    } catch (...) {
        return true;
    }
}

void EngineServer::Run() noexcept {
    const std::wstring idleText = std::wstring(L"SERVER::IDLE::") + (m_elevated ? L"1" : L"0");
    ULONGLONG lastActivity = ::GetTickCount64();
    ULONGLONG emptySince = 0;
    m_block.Post(idleText, 0);
    for (;;) {
        if (auto request = m_block.TakeRequest()) {
            if (!Handle(*request)) return;
            lastActivity = ::GetTickCount64();
            emptySince = 0;
            continue;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (m_block.ReplyMailboxEmpty()) {
            if (emptySince == 0) emptySince = now;
            if (now - emptySince >= kIdleAfterMs && now - lastActivity >= kIdleAfterMs) {
                m_block.Post(idleText, 0);
                emptySince = 0;
            }
        } else {
            emptySince = 0;
        }
        ::Sleep(PollStepAfter(now - lastActivity));
    }
}

}  // namespace tessaly::engine
