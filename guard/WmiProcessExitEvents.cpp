// The WMI subscription of the guard; see WmiProcessExitEvents.h. The event object handed to the
// sink's connection point is ours: it turns OnObjectReady into the trigger and nothing else.
#include "WmiProcessExitEvents.h"

#include <atomic>
#include <utility>

#include "FaultLog.h"

namespace tessaly::guard {
namespace {

// OnObjectReady(objWbemObject, objWbemAsyncContext) of the sink's event interface.
constexpr DISPID kOnObjectReady = 1;

std::wstring HexCode(HRESULT hr) {
    wchar_t text[16]{};
    swprintf(text, std::size(text), L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The events of one sink: OnObjectReady raises the trigger; the other events are accepted and
// ignored. Detach makes a late event a no-op once the subscription is cancelled.
class SinkEvents final : public IDispatch {
public:
    explicit SinkEvents(ProcessEndedHandler onEnded) : m_onEnded(std::move(onEnded)) {}
    SinkEvents(const SinkEvents&) = delete;
    SinkEvents& operator=(const SinkEvents&) = delete;

    void Detach() noexcept { m_onEnded = nullptr; }

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
            if (member != kOnObjectReady || !m_onEnded || !params || params->cArgs < 2) return S_OK;
            // Arguments arrive last first: the event object is the second from the end.
            const VARIANT& argument = params->rgvarg[params->cArgs - 1];
            IDispatch* eventObject = nullptr;
            if (argument.vt == VT_DISPATCH) eventObject = argument.pdispVal;
            if (argument.vt == (VT_DISPATCH | VT_BYREF) && argument.ppdispVal) eventObject = *argument.ppdispVal;
            if (!eventObject) return S_OK;
            const std::wstring name = EndedProcessName(eventObject);
            if (!name.empty()) m_onEnded(name);
        } catch (...) {
            LogCaughtFault(L"WmiProcessExitEvents::OnObjectReady");
        }
        return S_OK;
    }

private:
    ~SinkEvents() = default;

    std::atomic<ULONG> m_references{1};
    ProcessEndedHandler m_onEnded;
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

}  // namespace

std::wstring EndedProcessName(IDispatch* eventObject) noexcept {
    try {
        if (!eventObject) return {};
        unique_variant target;
        if (!PropertyValue(eventObject, L"TargetInstance", target)) return {};
        if (target.get().vt != VT_DISPATCH || !target.get().pdispVal) return {};
        unique_variant name;
        if (!PropertyValue(target.get().pdispVal, L"Name", name)) return {};
        if (name.get().vt != VT_BSTR || !name.get().bstrVal) return {};
        return std::wstring(name.get().bstrVal, ::SysStringLen(name.get().bstrVal));
    } catch (...) {
        LogCaughtFault(L"WmiProcessExitEvents::EndedProcessName");
        return {};
    }
}

WmiProcessExitEvents::~WmiProcessExitEvents() { Cancel(); }

bool WmiProcessExitEvents::Fail(const wchar_t* step, HRESULT hr) {
    m_lastError = std::wstring(step) + L" failed: " + HexCode(hr);
    Cancel();
    return false;
}

bool WmiProcessExitEvents::Subscribe(ProcessEndedHandler onEnded) noexcept {
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
        m_events = com_ptr<IDispatch>(new SinkEvents(std::move(onEnded)));
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
