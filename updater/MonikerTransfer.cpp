// The URL moniker bound asynchronously; see MonikerTransfer.h. Each hop is one bind with the
// platform's own redirects turned off: the platform asks the callback about a redirect, the
// callback notes the target and cancels, and the next hop goes there only when the address rules
// allow it.
#include "MonikerTransfer.h"

#include <windows.h>
#include <urlmon.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "BoundedPoll.h"
#include "FaultLog.h"
#include "TransportAddress.h"
#include "UniqueHandle.h"
#include "modHttpSend.h"

namespace tessaly::updater {
namespace {

constexpr std::uint32_t kPollStepMs = 20;
// How long an aborted bind may take to report its end before it is left to itself.
constexpr std::uint32_t kAbortGraceMs = 2000;
constexpr ULONG kReadChunk = 65536;
constexpr DWORD kMaxUrlLength = 2084;

// The moniker's callback for one hop. The platform may still call it after the hop has been
// given up; Detach then turns every call into a no-op, and the object lives until the platform
// lets it go.
class BindCallback final : public IBindStatusCallback,
                           public IHttpNegotiate,
                           public IServiceProvider,
                           public IBindCallbackRedirect {
public:
    BindCallback(const MonikerRequest& request, MonikerSink& sink) : m_sink(&sink), m_headers(request.headers) {
        m_post = request.post;
        if (m_post && !request.body.empty()) {
            m_body = ::GlobalAlloc(GMEM_FIXED, request.body.size());
            if (m_body) std::memcpy(m_body, request.body.data(), request.body.size());
            m_bodySize = m_body ? static_cast<DWORD>(request.body.size()) : 0;
        }
        m_lastByteMs = PollClockMs();
    }
    BindCallback(const BindCallback&) = delete;
    BindCallback& operator=(const BindCallback&) = delete;

    [[nodiscard]] bool Stopped() const noexcept { return m_stopped; }
    [[nodiscard]] HRESULT Result() const noexcept { return m_result; }
    [[nodiscard]] long Status() const noexcept { return m_status; }
    // Where a redirect pointed, as the answer gave it.
    [[nodiscard]] const std::wstring& RedirectTarget() const noexcept { return m_redirect; }
    [[nodiscard]] bool SinkFailed() const noexcept { return m_sinkFailed; }
    [[nodiscard]] std::uint64_t LastByteMs() const noexcept { return m_lastByteMs; }
    void Abort() noexcept {
        if (m_binding) m_binding->Abort();
    }
    void Detach() noexcept {
        m_sink = nullptr;
        m_binding.reset();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IBindStatusCallback)
            *object = static_cast<IBindStatusCallback*>(this);
        else if (riid == IID_IHttpNegotiate)
            *object = static_cast<IHttpNegotiate*>(this);
        else if (riid == IID_IServiceProvider)
            *object = static_cast<IServiceProvider*>(this);
        else if (riid == __uuidof(IBindCallbackRedirect))
            *object = static_cast<IBindCallbackRedirect*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

    // IBindStatusCallback
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) noexcept override {
        if (binding && m_sink) {
            binding->AddRef();
            m_binding = com_ptr<IBinding>(binding);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR text) noexcept override {
        try {
            m_result = result;
            if (result == INET_E_REDIRECT_FAILED && text && m_redirect.empty()) m_redirect = text;
        } catch (...) {
            LogCaughtFault(L"BindCallback::OnStopBinding");
        }
        m_stopped = true;
        m_binding.reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) noexcept override;
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) noexcept override;
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) noexcept override { return S_OK; }

    // IHttpNegotiate
    HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* extra) noexcept override;
    HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* extra) noexcept override {
        m_status = static_cast<long>(status);
        if (extra) *extra = nullptr;
        return S_OK;
    }

    // IServiceProvider: the platform finds the redirect callback through it.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** object) noexcept override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (service != __uuidof(IBindCallbackRedirect)) return E_NOINTERFACE;
        return QueryInterface(riid, object);
    }

    // IBindCallbackRedirect: every redirect is cancelled here and followed by the caller, if at all.
    HRESULT STDMETHODCALLTYPE Redirect(LPCWSTR url, VARIANT_BOOL* cancel) noexcept override {
        if (!cancel) return E_POINTER;
        *cancel = VARIANT_TRUE;
        try {
            if (url) m_redirect = url;
        } catch (...) {
            LogCaughtFault(L"BindCallback::Redirect");
        }
        return S_OK;
    }

private:
    ~BindCallback() {
        if (m_body) ::GlobalFree(m_body);
    }

    std::atomic<ULONG> m_references{1};
    MonikerSink* m_sink;
    std::wstring m_headers;
    bool m_post = false;
    HGLOBAL m_body = nullptr;
    DWORD m_bodySize = 0;
    com_ptr<IBinding> m_binding;
    bool m_stopped = false;
    bool m_sinkFailed = false;
    HRESULT m_result = E_FAIL;
    long m_status = 0;
    std::wstring m_redirect;
    std::uint64_t m_lastByteMs = 0;
};

HRESULT BindCallback::GetBindInfo(DWORD* flags, BINDINFO* info) noexcept {
    if (!flags || !info) return E_INVALIDARG;
    *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_GETNEWESTVERSION |
             BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE | BINDF_NO_UI | BINDF_SILENTOPERATION;
    const ULONG size = info->cbSize;
    std::memset(info, 0, size);
    info->cbSize = size;
    info->dwOptions = BINDINFO_OPTIONS_DISABLEAUTOREDIRECTS;
    info->dwBindVerb = m_post ? BINDVERB_POST : BINDVERB_GET;
    if (m_post && m_body) {
        // The callback keeps the body; the platform only holds a reference to it.
        info->stgmedData.tymed = TYMED_HGLOBAL;
        info->stgmedData.hGlobal = m_body;
        info->stgmedData.pUnkForRelease = static_cast<IBindStatusCallback*>(this);
        AddRef();
        info->cbstgmedData = m_bodySize;
    }
    return S_OK;
}

HRESULT BindCallback::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) noexcept {
    if (!m_sink) return E_ABORT;
    if (!medium || medium->tymed != TYMED_ISTREAM || !medium->pstm) return S_OK;
    try {
        std::vector<unsigned char> chunk(kReadChunk);
        for (;;) {
            ULONG read = 0;
            const HRESULT hr = medium->pstm->Read(chunk.data(), kReadChunk, &read);
            if (read > 0) {
                m_lastByteMs = PollClockMs();
                if (!m_sink->Write(chunk.data(), read)) {
                    m_sinkFailed = true;
                    return E_ABORT;
                }
            }
            if (hr != S_OK || read == 0) return S_OK;  // S_FALSE at the end, E_PENDING for now
        }
    } catch (...) {
        LogCaughtFault(L"BindCallback::OnDataAvailable");
        m_sinkFailed = true;
        return E_ABORT;
    }
}

HRESULT BindCallback::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* extra) noexcept {
    if (!extra) return E_POINTER;
    *extra = nullptr;
    if (m_headers.empty()) return S_OK;
    const std::size_t bytes = (m_headers.size() + 1) * sizeof(wchar_t);
    *extra = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
    if (!*extra) return E_OUTOFMEMORY;
    std::memcpy(*extra, m_headers.c_str(), bytes);
    return S_OK;
}

struct Hop {
    MonikerEnd end = MonikerEnd::Failed;
    long status = 0;
    bool redirected = false;
    std::wstring target;  // of a redirect, as the answer gave it
};

// Waits for the bind to end, letting window events run; false when a limit passed first.
bool AwaitBind(const BindCallback& callback, const MonikerRequest& request, std::uint64_t deadlineMs) {
    const std::uint64_t now = PollClockMs();
    PollPlan plan;
    plan.deadlineMs = deadlineMs > now ? static_cast<std::uint32_t>(deadlineMs - now) : 0;
    plan.stepMs = kPollStepMs;
    bool stalled = false;
    const PollResult waited = PollUntil(
        [&] {
            if (callback.Stopped()) return true;
            stalled = request.stallMs > 0 && PollClockMs() - callback.LastByteMs() >= request.stallMs;
            return stalled;
        },
        plan);
    return waited == PollResult::Done && !stalled;
}

// Aborts a bind that is still under way and gives it a moment to report its end.
void GiveUp(BindCallback& callback) {
    callback.Abort();
    PollPlan plan;
    plan.deadlineMs = kAbortGraceMs;
    plan.stepMs = kPollStepMs;
    PollUntil([&callback] { return callback.Stopped(); }, plan);
    callback.Detach();
}

Hop BindOnce(const std::wstring& url, const MonikerRequest& request, MonikerSink& sink, std::uint64_t deadlineMs) {
    Hop hop;
    com_ptr<IMoniker> moniker;
    if (FAILED(::CreateURLMonikerEx(nullptr, url.c_str(), moniker.put(), URL_MK_UNIFORM)) || !moniker) return hop;
    com_ptr<BindCallback> callback(new BindCallback(request, sink));
    com_ptr<IBindCtx> context;
    if (FAILED(::CreateAsyncBindCtx(0, callback.get(), nullptr, context.put())) || !context) return hop;
    com_ptr<IStream> stream;
    const HRESULT started = moniker->BindToStorage(context.get(), nullptr, IID_IStream, stream.put_void());
    if (FAILED(started) && !callback->Stopped()) {
        callback->Detach();
        return hop;
    }
    if (!AwaitBind(*callback.get(), request, deadlineMs)) {
        GiveUp(*callback.get());
        hop.end = MonikerEnd::TimedOut;
        return hop;
    }
    callback->Detach();
    hop.status = callback->Status();
    if (callback->Result() == INET_E_REDIRECT_FAILED) {
        hop.redirected = true;
        hop.target = callback->RedirectTarget();
        return hop;
    }
    hop.end = SUCCEEDED(callback->Result()) && !callback->SinkFailed() ? MonikerEnd::Complete : MonikerEnd::Failed;
    return hop;
}

// The redirect target as a whole address (a Location may be relative); "" when it is none.
std::wstring Resolve(const std::wstring& base, const std::wstring& target) {
    if (target.empty()) return {};
    std::wstring combined(kMaxUrlLength, L'\0');
    DWORD length = 0;
    if (FAILED(::CoInternetCombineUrl(base.c_str(), target.c_str(), 0, combined.data(), kMaxUrlLength, &length, 0)))
        return {};
    combined.resize(std::wcslen(combined.c_str()));
    return combined;
}

}  // namespace

MonikerResult RunMonikerRequest(const MonikerRequest& request, MonikerSink& sink) {
    MonikerResult result;
    try {
        const std::uint64_t deadlineMs = PollClockMs() + request.overallMs;
        std::wstring url = request.url;
        if (!IsWebAddress(url)) {
            result.end = MonikerEnd::Refused;
            return result;
        }
        for (int redirects = 0;; ++redirects) {
            const Hop hop = BindOnce(url, request, sink, deadlineMs);
            result.status = hop.status;
            if (!hop.redirected) {
                result.end = hop.end;
                return result;
            }
            const std::wstring next = Resolve(url, hop.target);
            if (redirects == kMostRedirects || !KeepsChannel(url, next)) {
                result.end = MonikerEnd::Refused;
                return result;
            }
            if (!sink.Restart()) return result;
            url = next;
        }
    } catch (...) {
        LogCaughtFault(L"RunMonikerRequest");
        result.end = MonikerEnd::Failed;
        return result;
    }
}

}  // namespace tessaly::updater
