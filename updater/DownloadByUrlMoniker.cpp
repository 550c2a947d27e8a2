// The plain URL download through the platform's URL moniker, past its cache, within the
// transfer limits of the waits table.
#include <windows.h>
#include <wininet.h>

#include "FaultLog.h"
#include "MonikerTransfer.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "UpdaterWaits.h"
#include "modHttpSend.h"

namespace tessaly::updater {
namespace {

class FileSink final : public MonikerSink {
public:
    explicit FileSink(HANDLE file) noexcept : m_file(file) {}
    bool Restart() override {
        LARGE_INTEGER start{};
        return ::SetFilePointerEx(m_file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(m_file);
    }
    bool Write(const unsigned char* bytes, std::size_t count) override {
        DWORD written = 0;
        return ::WriteFile(m_file, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count;
    }

private:
    HANDLE m_file;
};

}  // namespace

bool DownloadByUrlMoniker(const std::wstring& url, const std::wstring& destPath) {
    bool complete = false;
    try {
        // A cached copy would be an old package under the same address.
        ::DeleteUrlCacheEntryA(WideToAnsi(url).c_str());
        unique_file file(::CreateFileW(destPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        MonikerRequest request;
        request.url = url;
        request.stallMs = Waits().transferStallMs;
        request.overallMs = Waits().transferOverallMs;
        FileSink sink(file.get());
        complete = RunMonikerRequest(request, sink).end == MonikerEnd::Complete;
    } catch (...) {
        LogCaughtFault(L"DownloadByUrlMoniker");
        complete = false;
    }
    if (!complete) ::DeleteFileW(destPath.c_str());
    return complete;
}

}  // namespace tessaly::updater
