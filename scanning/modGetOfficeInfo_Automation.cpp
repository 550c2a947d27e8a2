// The last resort of GetOfficeInfo: the application's own automation object tells its version and
// folder. The object is always asked to quit, because creating it starts the application.
#include "modGetOfficeInfo.h"

#include "FaultLog.h"
#include "UniqueHandle.h"
#include "modGetOfficeInfo_Text.h"

#include <objbase.h>
#include <oleauto.h>

namespace tessaly {

using namespace office_detail;

namespace {

AutomationHoldObserver& HoldObserver() {
    static AutomationHoldObserver observer;
    return observer;
}

// Tells the observer while an automation object may exist.
class AutomationHold {
public:
    AutomationHold() { Tell(true); }
    ~AutomationHold() { Tell(false); }
    AutomationHold(const AutomationHold&) = delete;
    AutomationHold& operator=(const AutomationHold&) = delete;

private:
    static void Tell(bool holding) noexcept {
        try {
            if (HoldObserver()) HoldObserver()(holding);
        } catch (...) {
            LogCaughtFault(L"GetAppInfoByAutomation");
        }
    }
};

HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS noArguments{};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &noArguments, result, nullptr, nullptr);
}

// The property as text; false when it is missing or not convertible.
bool ReadTextProperty(IDispatch* object, const wchar_t* name, std::wstring& text) {
    unique_variant value;
    if (FAILED(InvokeByName(object, name, DISPATCH_PROPERTYGET, value.put()))) return false;
    if (FAILED(::VariantChangeType(&value.get(), &value.get(), 0, VT_BSTR))) return false;
    const BSTR bstr = V_BSTR(&value.get());
    text.assign(bstr != nullptr ? bstr : L"", bstr != nullptr ? ::SysStringLen(bstr) : 0);
    return true;
}

void AskToQuit(IDispatch* object) noexcept {
    unique_variant ignored;
    InvokeByName(object, L"Quit", DISPATCH_METHOD, ignored.put());
}

bool ReadAnswers(IDispatch* app, const std::wstring& exeName, OfficeAppInfo& info) {
    std::wstring version;
    if (!ReadTextProperty(app, L"version", version)) return false;
    if (version.find(L'.') == std::wstring::npos) return false;
    std::wstring folder;
    if (!ReadTextProperty(app, L"Path", folder)) return false;
    OfficeAppInfo answer;
    answer.MajorVersion = TextBefore(version, L'.');
    answer.ExePath = folder + L"\\" + exeName + L".exe";
    answer.AppName = exeName;
    answer.InstallFolder = folder;
    info = std::move(answer);
    return true;
}

}  // namespace

bool ReadAppInfoFromAutomationObject(IDispatch* app, const std::wstring& exeName, OfficeAppInfo& info) {
    if (app == nullptr) return false;
    bool answered = false;
    try {
        answered = ReadAnswers(app, exeName, info);
    } catch (...) {
        LogCaughtFault(L"ReadAppInfoFromAutomationObject");
        answered = false;
    }
    AskToQuit(app);
    return answered;
}

void SetAutomationHoldObserver(AutomationHoldObserver observer) { HoldObserver() = std::move(observer); }

bool GetAppInfoByAutomation(const std::wstring& className, const std::wstring& exeName, OfficeAppInfo& info) {
    try {
        // The caller's thread may not have COM yet; when it has (in any model) this only counts up.
        ComApartment apartment;
        CLSID classId{};
        // Without a registered class (no Office, or Wine) this fails at once and nothing starts.
        if (FAILED(::CLSIDFromProgID(className.c_str(), &classId))) return false;
        const AutomationHold hold;
        com_ptr<IDispatch> app;
        if (FAILED(::CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                                      app.put_void())) ||
            !app)
            return false;
        const bool answered = ReadAppInfoFromAutomationObject(app.get(), exeName, info);
        app.reset();  // released before the apartment ends
        return answered;
    } catch (...) {
        LogCaughtFault(L"GetAppInfoByAutomation");
        return false;
    }
}

}  // namespace tessaly
