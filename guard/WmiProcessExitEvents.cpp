// The WMI subscription of the guard; see WmiProcessExitEvents.h. The event object handed to the
// sink's connection point is ours: it turns OnObjectReady into the trigger and OnCompleted into
// the news that the subscription is gone.
#include "WmiProcessExitEvents.h"

#include <atomic>
#include <utility>

#include "FaultLog.h"

namespace tessaly::guard {
namespace {

// OnObjectReady(objWbemObject, objWbemAsyncContext) and OnCompleted(iHResult, objWbemErrorObject,
// objWbemAsyncContext) of the sink's event interface.
constexpr DISPID kOnObjectReady = 1;
constexpr DISPID kOnCompleted = 2;

std::wstring HexCode(HRESULT hr) {
    wchar_t text[16]{};
    swprintf(text, std::size(text), L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The events of one sink. Detach makes a late event a no-op once the subscription is cancelled,
// so our own Cancel, whose OnCompleted may follow, is not taken for a loss.
class SinkEvents final : public IDispatch {
public:
    SinkEvents(ProcessEndedHandler onEnded, SubscriptionLostHandler onLost)
        : m_onEnded(std::move(onEnded)), m_onLost(std::move(onLost)) {}
    SinkEvents(const SinkEvents&) = delete;
    SinkEvents& operator=(const SinkEvents&) = delete;

    void Detach() noexcept {
        m_onEnded = nullptr;
        m_onLost = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_ISWbemSinkEvents) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        try {
            if (member == kOnCompleted && m_onLost) {
                const SubscriptionLostHandler onLost = m_onLost;
                Detach();  // the query is over: nothing more comes from it
                onLost();
                return S_OK;
            }
            if (member != kOnObjectReady || !m_onEnded || !params || params->cArgs < 2) return S_OK;
            // Arguments arrive last first: the event object is the second from the end.
            const VARIANT& argument = params->rgvarg[params->cArgs - 1];
            IDispatch* eventObject = nullptr;
            if (argument.vt == VT_DISPATCH) eventObject = argument.pdispVal;
            if (argument.vt == (VT_DISPATCH | VT_BYREF) && argument.ppdispVal) eventObject = *argument.ppdispVal;
            if (!eventObject) return S_OK;
            const RunningProcess ended = EndedProcessOf(eventObject);
            if (!ended.name.empty()) m_onEnded(ended);
        } catch (...) {
            LogCaughtFault(L"WmiProcessExitEvents::OnObjectReady");
        }
        return S_OK;
    }

private:
    ~SinkEvents() = default;

    std::atomic<ULONG> m_references{1};
    ProcessEndedHandler m_onEnded;
    SubscriptionLostHandler m_onLost;
};

// One property of a scripting object, through its property set.
bool PropertyValue(IDispatch* object, const wchar_t* name, unique_variant& value) {
    com_ptr<ISWbemObject> wbemObject;
    if (FAILED(object->QueryInterface(IID_ISWbemObject, wbemObject.put_void())) || !wbemObject) return false;
    com_ptr<ISWbemPropertySet> properties;
    if (FAILED(wbemObject->get_Properties_(properties.put())) || !properties) return false;
    unique_bstr propertyName = MakeBstr(name);
    com_ptr<ISWbemProperty> property;
    if (FAILED(properties->Item(propertyName.get(), 0, property.put())) || !property) return false;
    return SUCCEEDED(property->get_Value(value.put()));
}

// A text property; empty when it is missing or no text.
std::wstring TextProperty(IDispatch* object, const wchar_t* name) {
    unique_variant value;
    if (!PropertyValue(object, name, value) || value.get().vt != VT_BSTR || !value.get().bstrVal) return {};
    return std::wstring(value.get().bstrVal, ::SysStringLen(value.get().bstrVal));
}

DWORD NumberProperty(IDispatch* object, const wchar_t* name) {
    unique_variant value;
    if (!PropertyValue(object, name, value)) return 0;
    if (FAILED(::VariantChangeType(&value.get(), &value.get(), 0, VT_UI4))) return 0;
    return value.get().ulVal;
}

// The number that count decimal digits of text starting at at write; -1 when one is no digit.
int Digits(std::wstring_view text, std::size_t at, std::size_t count) {
    if (text.size() < at + count) return -1;
    int number = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return -1;
        number = number * 10 + (text[i] - L'0');
    }
    return number;
}

}  // namespace

IDispatch* NewSinkEvents(ProcessEndedHandler onEnded, SubscriptionLostHandler onLost) {
    return new SinkEvents(std::move(onEnded), std::move(onLost));
}

std::uint64_t WmiDateTimeToSystemTime(std::wstring_view text) noexcept {
    // yyyymmddHHMMSS.ffffff+UUU
    if (text.size() != 25 || text[14] != L'.' || (text[21] != L'+' && text[21] != L'-')) return 0;
    const int fields[] = {Digits(text, 0, 4), Digits(text, 4, 2),  Digits(text, 6, 2),  Digits(text, 8, 2),
                          Digits(text, 10, 2), Digits(text, 12, 2), Digits(text, 15, 6), Digits(text, 22, 3)};
    for (int field : fields)
        if (field < 0) return 0;
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(fields[0]);
    local.wMonth = static_cast<WORD>(fields[1]);
    local.wDay = static_cast<WORD>(fields[2]);
    local.wHour = static_cast<WORD>(fields[3]);
    local.wMinute = static_cast<WORD>(fields[4]);
    local.wSecond = static_cast<WORD>(fields[5]);
    FILETIME asUtc{};
    if (!::SystemTimeToFileTime(&local, &asUtc)) return 0;
    constexpr std::int64_t kStepsPerMinute = 60LL * 10000000;
    const std::int64_t offset = (text[21] == L'-' ? -1 : 1) * fields[7] * kStepsPerMinute;
    const std::uint64_t steps = ((static_cast<std::uint64_t>(asUtc.dwHighDateTime) << 32) | asUtc.dwLowDateTime) +
                                static_cast<std::uint64_t>(fields[6]) * 10;
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(steps) - offset);
}

RunningProcess EndedProcessOf(IDispatch* eventObject) noexcept {
    try {
        if (!eventObject) return {};
        unique_variant target;
        if (!PropertyValue(eventObject, L"TargetInstance", target)) return {};
        if (target.get().vt != VT_DISPATCH || !target.get().pdispVal) return {};
        IDispatch* process = target.get().pdispVal;
        return RunningProcess{NumberProperty(process, L"ProcessId"), TextProperty(process, L"Name"),
                              WmiDateTimeToSystemTime(TextProperty(process, L"CreationDate"))};
    } catch (...) {
        LogCaughtFault(L"WmiProcessExitEvents::EndedProcessOf");
        return {};
    }
}

WmiProcessExitEvents::~WmiProcessExitEvents() { Cancel(); }

bool WmiProcessExitEvents::Fail(const wchar_t* step, HRESULT hr) {
    m_lastError = std::wstring(step) + L" failed: " + HexCode(hr);
    Cancel();
    return false;
}

bool WmiProcessExitEvents::Subscribe(ProcessEndedHandler onEnded, SubscriptionLostHandler onLost) noexcept {
    try {
        Cancel();
        HRESULT hr = ::CoGetObject(kWmiServicesMoniker, nullptr, IID_ISWbemServices, m_services.put_void());
        if (FAILED(hr) || !m_services) return Fail(L"binding winmgmts:\\\\.\\root\\cimv2", hr);
        hr = ::CoCreateInstance(CLSID_SWbemSink, nullptr, CLSCTX_INPROC_SERVER, IID_ISWbemSink, m_sink.put_void());
        if (FAILED(hr) || !m_sink) return Fail(L"creating SWbemSink", hr);
        const com_ptr<IConnectionPointContainer> points = m_sink.query<IConnectionPointContainer>();
        if (!points) return Fail(L"asking SWbemSink for its events", E_NOINTERFACE);
        hr = points->FindConnectionPoint(DIID_ISWbemSinkEvents, m_connection.put());
        if (FAILED(hr) || !m_connection) return Fail(L"finding the sink's events", hr);
        m_events = com_ptr<IDispatch>(NewSinkEvents(std::move(onEnded), std::move(onLost)));
        hr = m_connection->Advise(m_events.get(), &m_cookie);
        if (FAILED(hr)) return Fail(L"connecting to the sink's events", hr);
        unique_bstr query = MakeBstr(kProcessDeletionQuery);
        unique_bstr language = MakeBstr(kQueryLanguage);
        const com_ptr<IDispatch> sinkDispatch = m_sink.query<IDispatch>();
        hr = m_services->ExecNotificationQueryAsync(sinkDispatch.get(), query.get(), language.get(), 0, nullptr,
                                                    nullptr);
        if (FAILED(hr)) return Fail(L"ExecNotificationQueryAsync", hr);
        m_lastError.clear();
        return true;
    } catch (...) {
        LogCaughtFault(L"WmiProcessExitEvents::Subscribe");
        return Fail(L"subscribing", E_UNEXPECTED);
    }
}

void WmiProcessExitEvents::Cancel() noexcept {
    if (m_events) static_cast<SinkEvents*>(m_events.get())->Detach();
    if (m_sink) m_sink->Cancel();
    if (m_connection && m_cookie != 0) m_connection->Unadvise(m_cookie);
    m_cookie = 0;
    m_connection.reset();
    m_events.reset();
    m_sink.reset();
    m_services.reset();
}

}  // namespace tessaly::guard
