// The stand-in automation object and its factory; see OfficeAutomationStandIn.h.
#include "OfficeAutomationStandIn.h"

#include <oleauto.h>

#include <atomic>
#include <memory>
#include <utility>

namespace tessaly::test {
namespace {

enum : DISPID { kVersion = 1, kPath, kQuit };

// IUnknown's counting, shared by the object and the factory.
template <typename Interface>
class Counted : public Interface {
public:
    virtual ~Counted() = default;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

protected:
    HRESULT Answer(REFIID riid, REFIID own, void** object) noexcept {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != own) return E_NOINTERFACE;
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

private:
    std::atomic<ULONG> m_references{1};
};

struct Served {
    std::wstring folder;
    AutomationHooks hooks;
};

class Application final : public Counted<IDispatch> {
public:
    explicit Application(std::shared_ptr<const Served> served) : m_served(std::move(served)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        return Answer(riid, IID_IDispatch, object);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        if (count != 1 || !names || !ids) return E_INVALIDARG;
        if (::lstrcmpiW(names[0], L"version") == 0) *ids = kVersion;
        else if (::lstrcmpiW(names[0], L"path") == 0) *ids = kPath;
        else if (::lstrcmpiW(names[0], L"quit") == 0) *ids = kQuit;
        else return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) noexcept override {
        const AutomationHooks& hooks = m_served->hooks;
        if (id == kQuit) {
            if (hooks.onQuit) hooks.onQuit();
            return S_OK;
        }
        if (id != kVersion && id != kPath) return DISP_E_MEMBERNOTFOUND;
        if (hooks.onQuestion) hooks.onQuestion();
        if (!result) return S_OK;
        ::VariantInit(result);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocString(id == kVersion ? L"16.0" : m_served->folder.c_str());
        return S_OK;
    }

private:
    std::shared_ptr<const Served> m_served;
};

class Factory final : public Counted<IClassFactory> {
public:
    explicit Factory(std::shared_ptr<const Served> served) : m_served(std::move(served)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        return Answer(riid, IID_IClassFactory, object);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override {
        if (outer) return CLASS_E_NOAGGREGATION;
        Application* app = new (std::nothrow) Application(m_served);
        if (!app) return E_OUTOFMEMORY;
        const HRESULT hr = app->QueryInterface(riid, object);
        app->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }

private:
    std::shared_ptr<const Served> m_served;
};

}  // namespace

IClassFactory* NewAutomationFactory(std::wstring folder, AutomationHooks hooks) {
    return new Factory(std::make_shared<const Served>(Served{std::move(folder), std::move(hooks)}));
}

}  // namespace tessaly::test
