// One connection to WMI (root\cimv2 of the local machine) and the six questions the programs ask
// through it. Creating an instance connects; a failed connection leaves every question False.
#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <string>

#include "UniqueHandle.h"

namespace tessaly {

class ClsWMI {
public:
    ClsWMI();
    ~ClsWMI();
    ClsWMI(const ClsWMI&) = delete;
    ClsWMI& operator=(const ClsWMI&) = delete;

    bool getOsInfo(std::wstring& osName, std::wstring& osVer);
    bool getCpuInfo(std::wstring& cpuName, std::wstring& Arch);
    bool getUUIDInfo(std::wstring& retUUID);
    // True when at least one process has this file name.
    bool IsExistProcess(const std::wstring& exeName);
    // Runs "taskkill.exe /f /im <exeName>" hidden, waits 1 s; True when no such process is left.
    bool TerminateProcess(const std::wstring& exeName);
    // True when the host of the URL or host name answers a ping.
    bool IsConnectedNetWork(const std::wstring& webAddress);

    // False when the service could not be bound at creation.
    [[nodiscard]] bool IsConnected() const noexcept { return static_cast<bool>(m_services); }
    // The host IsConnectedNetWork pings: text after "://", cut before the first "/" past the start,
    // without a port (and without the brackets of an IPv6 literal).
    static std::wstring PingHostOf(const std::wstring& webAddress);

private:
    ComApartment m_com;  // declared first: the services are released before COM is left
    com_ptr<IWbemServices> m_services;
};

}  // namespace tessaly
