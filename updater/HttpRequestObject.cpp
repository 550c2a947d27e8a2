// The XML HTTP request object; see HttpRequestObject.h.
#include "HttpRequestObject.h"

#include "BoundedPoll.h"

namespace tessaly::updater {
namespace {

// Msxml2.XMLHTTP.3.0 and its interface.
constexpr CLSID kXmlHttpClassId{0xF6D90F16, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
constexpr IID kXmlHttpRequestId{0xED8C108D, 0x4349, 0x11D2, {0x91, 0xA4, 0x00, 0xC0, 0x4F, 0x79, 0x69, 0xE8}};

}  // namespace

HttpRequestObject::HttpRequestObject() {
    if (FAILED(::CoCreateInstance(kXmlHttpClassId, nullptr, CLSCTX_INPROC_SERVER, kXmlHttpRequestId,
                                  m_request.put_void())))
        m_request.reset();
}

bool HttpRequestObject::Open(const wchar_t* method, const std::wstring& url, bool async) {
    if (!m_request) return false;
    unique_bstr verb = MakeBstr(method);
    unique_bstr address = MakeBstr(url);
    VARIANT asyncFlag{};
    asyncFlag.vt = VT_BOOL;
    asyncFlag.boolVal = async ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANT none{};
    none.vt = VT_ERROR;
    none.scode = DISP_E_PARAMNOTFOUND;
    return SUCCEEDED(m_request->open(verb.get(), address.get(), asyncFlag, none, none));
}

bool HttpRequestObject::SetHeader(const std::wstring& name, const std::wstring& value) {
    if (!m_request) return false;
    unique_bstr header = MakeBstr(name);
    unique_bstr text = MakeBstr(value);
    return SUCCEEDED(m_request->setRequestHeader(header.get(), text.get()));
}

bool HttpRequestObject::Send(const std::wstring* body) {
    if (!m_request) return false;
    unique_variant content;
    if (body) {
        content.get().vt = VT_BSTR;
        content.get().bstrVal = ::SysAllocStringLen(body->data(), static_cast<UINT>(body->size()));
        if (!content.get().bstrVal) return false;
    }
    return SUCCEEDED(m_request->send(content.get()));
}

std::optional<long> HttpRequestObject::ReadyState() {
    long state = 0;
    if (!m_request || FAILED(m_request->get_readyState(&state))) return std::nullopt;
    return state;
}

bool HttpRequestObject::WaitComplete(std::uint32_t polls, std::uint32_t pollMs) {
    bool unreadable = false;
    const auto ended = [&] {
        const std::optional<long> state = ReadyState();
        unreadable = !state;
        return unreadable || *state == kReadyStateComplete;
    };
    return PollUntil(ended, PollPlan{polls * pollMs, pollMs}) == PollResult::Done && !unreadable;
}

void HttpRequestObject::Abandon() {
    if (!m_request) return;
    m_request->abort();
    m_request.detach();  // deliberately never released, see the header
}

std::optional<long> HttpRequestObject::Status() {
    long status = 0;
    if (!m_request || FAILED(m_request->get_status(&status))) return std::nullopt;
    return status;
}

std::optional<std::wstring> HttpRequestObject::ResponseText() {
    if (!m_request) return std::nullopt;
    unique_bstr text;
    if (FAILED(m_request->get_responseText(text.put()))) return std::nullopt;
    return std::wstring(text.get() ? text.get() : L"", text.get() ? ::SysStringLen(text.get()) : 0);
}

bool HttpRequestObject::ResponseBody(std::vector<unsigned char>& bytes) {
    bytes.clear();
    if (!m_request) return false;
    unique_variant body;
    if (FAILED(m_request->get_responseBody(body.put()))) return false;
    if (body.get().vt == VT_EMPTY || body.get().vt == VT_NULL) return true;
    if (body.get().vt != (VT_ARRAY | VT_UI1) || !body.get().parray) return false;
    SAFEARRAY* array = body.get().parray;
    LONG low = 0, high = -1;
    if (FAILED(::SafeArrayGetLBound(array, 1, &low)) || FAILED(::SafeArrayGetUBound(array, 1, &high))) return false;
    if (high < low) return true;
    SafeArrayData access(array);
    if (!access.data()) return false;
    bytes.assign(access.data(), access.data() + (static_cast<std::size_t>(high) - low + 1));
    return true;
}

std::wstring HttpRequestObject::ResponseHeader(const std::wstring& name) {
    if (!m_request) return {};
    unique_bstr header = MakeBstr(name);
    unique_bstr value;
    if (FAILED(m_request->getResponseHeader(header.get(), value.put())) || !value.get()) return {};
    return std::wstring(value.get(), ::SysStringLen(value.get()));
}

}  // namespace tessaly::updater
