// The platform's own watch on ended processes: WMI's asynchronous process-deletion query through
// the scripting event sink SWbemSink, whose OnObjectReady event hands the ended process's name on.
// The object owns the services object, the sink and its event connection until Cancel.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wbemdisp.h>

#include <string>

#include "ProcessEndedHandler.h"
#include "UniqueHandle.h"

namespace tessaly::guard {

inline constexpr wchar_t kWmiServicesMoniker[] = L"winmgmts:\\\\.\\root\\cimv2";
inline constexpr wchar_t kProcessDeletionQuery[] =
    L"SELECT * FROM __InstanceDeletionEvent WITHIN 1 WHERE TargetInstance ISA 'Win32_Process'";
inline constexpr wchar_t kQueryLanguage[] = L"WQL";

class WmiProcessExitEvents {
public:
    WmiProcessExitEvents() = default;
    ~WmiProcessExitEvents();
    WmiProcessExitEvents(const WmiProcessExitEvents&) = delete;
    WmiProcessExitEvents& operator=(const WmiProcessExitEvents&) = delete;

    // Binds the services, makes the sink, connects its events and starts the query. False, with
    // the step and its HRESULT in LastError, when the platform refuses any of it; nothing is
    // left subscribed then.
    bool Subscribe(ProcessEndedHandler onEnded) noexcept;
    // Cancels the query on the sink and lets go of everything; no event arrives afterwards.
    void Cancel() noexcept;
    [[nodiscard]] bool Subscribed() const noexcept { return static_cast<bool>(m_sink); }
    [[nodiscard]] const std::wstring& LastError() const noexcept { return m_lastError; }

private:
    bool Fail(const wchar_t* step, HRESULT hr);

    com_ptr<ISWbemServices> m_services;
    com_ptr<ISWbemSink> m_sink;
    com_ptr<IConnectionPoint> m_connection;
    com_ptr<IDispatch> m_events;
    DWORD m_cookie = 0;
    std::wstring m_lastError;
};

// The name of the ended process an OnObjectReady event object describes: its property
// "TargetInstance", then that instance's property "Name". Empty when either is missing.
std::wstring EndedProcessName(IDispatch* eventObject) noexcept;

}  // namespace tessaly::guard
