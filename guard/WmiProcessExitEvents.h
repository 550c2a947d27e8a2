// The platform's own watch on ended processes: WMI's asynchronous process-deletion query through
// the scripting event sink SWbemSink, whose OnObjectReady event hands the ended process on and
// whose OnCompleted event tells that the query ended without being cancelled by us (the WMI
// service restarted, say). The object owns the services object, the sink and its event
// connection until Cancel.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wbemdisp.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ProcessEndedHandler.h"
#include "UniqueHandle.h"

namespace tessaly::guard {

inline constexpr wchar_t kWmiServicesMoniker[] = L"winmgmts:\\\\.\\root\\cimv2";
inline constexpr wchar_t kProcessDeletionQuery[] =
    L"SELECT * FROM __InstanceDeletionEvent WITHIN 1 WHERE TargetInstance ISA 'Win32_Process'";
inline constexpr wchar_t kQueryLanguage[] = L"WQL";

// Called from inside the platform's event: it may note the loss, not subscribe again there.
using SubscriptionLostHandler = std::function<void()>;

// What the guard's watch needs of a source of process-exit events.
class ProcessExitEvents {
public:
    virtual ~ProcessExitEvents() = default;
    // False, with the reason in LastError, when the platform refuses; nothing is subscribed then.
    virtual bool Subscribe(ProcessEndedHandler onEnded, SubscriptionLostHandler onLost) noexcept = 0;
    // Ends the subscription; neither event arrives afterwards.
    virtual void Cancel() noexcept = 0;
    [[nodiscard]] virtual bool Subscribed() const noexcept = 0;
    [[nodiscard]] virtual const std::wstring& LastError() const noexcept = 0;
};

class WmiProcessExitEvents final : public ProcessExitEvents {
public:
    WmiProcessExitEvents() = default;
    ~WmiProcessExitEvents() override;
    WmiProcessExitEvents(const WmiProcessExitEvents&) = delete;
    WmiProcessExitEvents& operator=(const WmiProcessExitEvents&) = delete;

    // Binds the services, makes the sink, connects its events and starts the query.
    bool Subscribe(ProcessEndedHandler onEnded, SubscriptionLostHandler onLost) noexcept override;
    void Cancel() noexcept override;
    [[nodiscard]] bool Subscribed() const noexcept override { return static_cast<bool>(m_sink); }
    [[nodiscard]] const std::wstring& LastError() const noexcept override { return m_lastError; }

private:
    bool Fail(const wchar_t* step, HRESULT hr);

    com_ptr<ISWbemServices> m_services;
    com_ptr<ISWbemSink> m_sink;
    com_ptr<IConnectionPoint> m_connection;
    com_ptr<IDispatch> m_events;
    DWORD m_cookie = 0;
    std::wstring m_lastError;
};

// The object the sink's connection point is given: OnObjectReady raises onEnded with the ended
// process, OnCompleted raises onLost; the other events are ignored. One reference.
IDispatch* NewSinkEvents(ProcessEndedHandler onEnded, SubscriptionLostHandler onLost);

// The ended process an OnObjectReady event object describes, from its property "TargetInstance":
// "Name", "ProcessId" and "CreationDate". An empty name when the instance or its name is missing.
RunningProcess EndedProcessOf(IDispatch* eventObject) noexcept;

// A WMI date and time ("yyyymmddHHMMSS.ffffff" and the offset from UTC in minutes, "+060") in
// 100 ns steps since 1601 (UTC); 0 when the text is no such date.
std::uint64_t WmiDateTimeToSystemTime(std::wstring_view text) noexcept;

}  // namespace tessaly::guard
