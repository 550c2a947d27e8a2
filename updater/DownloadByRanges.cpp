// The ranged download: pieces of 1 MiB fetched with asynchronous GETs on one request object and
// written at their offsets; the server's Content-Range says where the next piece starts. A piece
// that does not move that start forward, and a download that outlasts its whole limit, fail.
#include <windows.h>

#include <limits>
#include <stdexcept>
#include <vector>

#include "BoundedPoll.h"
#include "DoEvents.h"
#include "FaultLog.h"
#include "HttpRequestObject.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "UpdaterWaits.h"
#include "modCommon.h"
#include "modHttpSend.h"

namespace tessaly::updater {
namespace {

constexpr long kStatusOk = 200;
constexpr long kStatusPartial = 206;
constexpr long kStatusRangeNotSatisfiable = 416;
constexpr std::int64_t kLargestSize = std::numeric_limits<std::int32_t>::max();

std::wstring WithScheme(const std::wstring& url) {
    if (StartsWithNoCase(url, L"http://") || StartsWithNoCase(url, L"https://")) return url;
    return L"http://" + url;
}

std::int64_t ParseOffset(const std::wstring& text) {
    std::size_t used = 0;
    const long long value = std::stoll(text, &used, 10);
    if (used != text.size() || value < 0) throw std::invalid_argument("Content-Range offset");
    return value;
}

struct ContentRange {
    std::int64_t last = 0;   // last byte offset sent
    std::int64_t total = 0;  // whole length
};

// "bytes <first>-<last>/<total>"; nullopt when the header lacks "-" or "/" (throws on non-numbers).
std::optional<ContentRange> ParseContentRange(const std::wstring& header) {
    const std::size_t dash = header.find(L'-');
    if (header.empty() || dash == std::wstring::npos || header.find(L'/') == std::wstring::npos) return std::nullopt;
    const std::wstring rest = header.substr(dash + 1);
    const std::size_t slash = rest.find(L'/');
    if (slash == std::wstring::npos) return std::nullopt;
    return ContentRange{ParseOffset(rest.substr(0, slash)), ParseOffset(rest.substr(slash + 1))};
}

void WriteAt(HANDLE file, std::int64_t offset, const std::vector<unsigned char>& bytes) {
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) throw std::runtime_error("seek");
    DWORD written = 0;
    if (!bytes.empty() && (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                           written != bytes.size()))
        throw std::runtime_error("write");
}

class RangedDownload {
public:
    RangedDownload(std::wstring url, std::int32_t size, HANDLE file, const std::wstring& format, StatusBox& status)
        : m_url(std::move(url)), m_size(size), m_file(file), m_format(format), m_status(status) {}

    // True when the whole package was written.
    bool Run() {
        std::int64_t first = 0;
        const bool single = m_size < kPieceBytes;
        std::int64_t last = single ? m_size : kPieceBytes;
        const std::uint64_t deadlineMs = PollClockMs() + Waits().transferOverallMs;
        HttpRequestObject request;
        for (;;) {
            if (PollClockMs() >= deadlineMs) return false;
            if (!request.Open(L"GET", m_url, true) ||
                !request.SetHeader(L"Range", L"bytes=" + std::to_wstring(first) + L"-" + std::to_wstring(last)) ||
                !request.SetHeader(L"Content-Type:", L"application/octet-stream") || !request.Send(nullptr))
                throw std::runtime_error("request");
            const bool complete = request.WaitComplete(kPieceAnswerPolls, kAnswerPollMs);
            if (!complete) {
                request.Abandon();
                return false;
            }
            const long status = request.Status().value_or(0);
            if (status == kStatusRangeNotSatisfiable) return true;
            if (status != kStatusOk && status != kStatusPartial) return false;
            if (status == kStatusOk) DoEvents();
            std::vector<unsigned char> body;
            if (!request.ResponseBody(body)) throw std::runtime_error("body");
            WriteAt(m_file, first, body);
            if (single && body.size() == static_cast<std::size_t>(m_size)) return true;
            const std::optional<ContentRange> range = ParseContentRange(request.ResponseHeader(L"Content-Range"));
            if (!range) return false;
            if (!m_format.empty())
                m_status.Show(ProgressText(m_format, static_cast<double>(range->last), static_cast<double>(range->total)));
            if (range->total - range->last < 2) return true;
            if (range->last <= first) return false;  // the same piece again would come for ever
            first = range->last;
            last = range->total - range->last < kPieceBytes ? range->total : range->last + kPieceBytes;
            if (last > kLargestSize) throw std::overflow_error("range end");
            DoEvents();
        }
    }

private:
    std::wstring m_url;
    std::int32_t m_size;
    HANDLE m_file;
    const std::wstring& m_format;
    StatusBox& m_status;
};

}  // namespace

bool DownloadByRanges(const std::wstring& url, std::int32_t size, const std::wstring& destPath,
                      const std::wstring& progressFormat, StatusBox& status) {
    if (DirLookup(destPath)) ::DeleteFileW(destPath.c_str());
    unique_file file(::CreateFileW(destPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bool complete = false;
    try {
        complete = RangedDownload(WithScheme(url), size, file.get(), progressFormat, status).Run();
    } catch (...) {
        LogCaughtFault(L"DownloadByRanges");
        complete = false;
    }
    file.reset();
    if (!complete) ::DeleteFileW(destPath.c_str());
    return complete;
}

}  // namespace tessaly::updater
