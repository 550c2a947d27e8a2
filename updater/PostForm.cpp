// The update request: a form POST, tried three times 60 s apart when the platform object reports
// an error or the answer does not come within its wait; a status other than 200 is final at once.
#include <array>
#include <utility>

#include "DoEvents.h"
#include "FaultLog.h"
#include "HttpRequestObject.h"
#include "UpdaterWaits.h"
#include "modHttpSend.h"

namespace tessaly::updater {
namespace {

constexpr int kAttempts = 3;
constexpr long kStatusOk = 200;

// Headers of the update request, set in this order (the platform decides the order on the wire).
std::array<std::pair<std::wstring, std::wstring>, 8> RequestHeaders(const std::wstring& body) {
    return {{{L"Accept", L"*/*"},
             {L"Accept-Language", L"zh-cn"},
             {L"User-Agent", L"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0)"},
             {L"Content-Type", L"application/x-www-form-urlencoded"},
             {L"Referer", L""},
             {L"Content-Length", std::to_wstring(body.size())},
             {L"Connection", L"Keep-Alive"},
             {L"Cache-Control", L"no-cache"}}};
}

// One attempt: the answer, or nullopt when the platform object reported an error or no answer
// came in time. The request runs asynchronously so that the wait is bounded and the window's
// events run meanwhile; a synchronous one waits for a silent server without end.
std::optional<std::wstring> PostOnce(const std::wstring& url, const std::wstring& body) {
    HttpRequestObject request;
    if (!request.Valid() || !request.Open(L"POST", url, true)) return std::nullopt;
    for (const auto& [name, value] : RequestHeaders(body))
        if (!request.SetHeader(name, value)) return std::nullopt;
    if (!request.Send(&body)) return std::nullopt;
    if (!request.WaitComplete(Waits().postAnswerMs / kAnswerPollMs, kAnswerPollMs)) {
        request.Abandon();
        return std::nullopt;
    }
    const std::optional<long> status = request.Status();
    if (!status) return std::nullopt;
    if (*status != kStatusOk) return std::wstring();
    return request.ResponseText();
}

}  // namespace

std::wstring PostForm(const std::wstring& url, const std::wstring& body) {
    for (int attempt = 1;; ++attempt) {
        try {
            if (std::optional<std::wstring> answer = PostOnce(url, body)) return *answer;
        } catch (...) {
            LogCaughtFault(L"PostForm");
        }
        if (attempt == kAttempts) return {};
        SleepWithEvents(Waits().postRetryPauseMs);
    }
}

}  // namespace tessaly::updater
