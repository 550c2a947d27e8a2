// The update request: a form POST, tried three times 60 s apart when the platform reports an error
// or the answer does not come within its wait; a status other than 200, and a redirect that may
// not be followed, are final at once. It goes through the URL moniker rather than the XML HTTP
// object, which follows every redirect (off https too) without telling its caller.
#include <array>
#include <optional>
#include <utility>

#include "BoundedPoll.h"
#include "FaultLog.h"
#include "MonikerTransfer.h"
#include "TextConvert.h"
#include "UpdaterWaits.h"
#include "modHttpSend.h"

namespace tessaly::updater {
namespace {

constexpr int kAttempts = 3;
constexpr long kStatusOk = 200;

// Headers of the update request, in this order.
std::wstring RequestHeaders(const std::wstring& body) {
    const std::array<std::pair<std::wstring, std::wstring>, 8> headers{{
        {L"Accept", L"*/*"},
        {L"Accept-Language", L"zh-cn"},
        {L"User-Agent", L"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0)"},
        {L"Content-Type", L"application/x-www-form-urlencoded"},
        {L"Referer", L""},
        {L"Content-Length", std::to_wstring(body.size())},
        {L"Connection", L"Keep-Alive"},
        {L"Cache-Control", L"no-cache"},
    }};
    std::wstring block;
    for (const auto& [name, value] : headers) block += name + L": " + value + L"\r\n";
    return block;
}

class TextSink final : public MonikerSink {
public:
    bool Restart() override {
        m_bytes.clear();
        return true;
    }
    bool Write(const unsigned char* bytes, std::size_t count) override {
        m_bytes.append(reinterpret_cast<const char*>(bytes), count);
        return true;
    }
    // The answer as the service sends it: UTF-8, a byte-order mark dropped.
    [[nodiscard]] std::wstring Text() const {
        constexpr char kBom[] = "\xEF\xBB\xBF";
        const bool marked = m_bytes.rfind(kBom, 0) == 0;
        return Utf8ToWide(marked ? m_bytes.substr(3) : m_bytes);
    }

private:
    std::string m_bytes;
};

// One attempt: the answer, or nullopt when the platform reported an error or no answer came in
// time.
std::optional<std::wstring> PostOnce(const std::wstring& url, const std::wstring& body) {
    MonikerRequest request;
    request.url = url;
    request.post = true;
    request.body = WideToUtf8(body);
    request.headers = RequestHeaders(body);
    request.overallMs = Waits().postAnswerMs;
    TextSink answer;
    const MonikerResult result = RunMonikerRequest(request, answer);
    if (result.end == MonikerEnd::Refused) return std::wstring();
    if (result.end != MonikerEnd::Complete) return std::nullopt;
    if (result.status != kStatusOk) return std::wstring();
    return answer.Text();
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
        PauseWithEvents(Waits().postRetryPauseMs);
    }
}

}  // namespace tessaly::updater
