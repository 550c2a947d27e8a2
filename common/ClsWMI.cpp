// WMI questions over one IWbemServices connection to root\cimv2. Wine's WMI has no rows for
// Win32_PingStatus, so the network test falls back to an ICMP echo of its own.
#include "ClsWMI.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <optional>
#include <vector>

#include "DoEvents.h"
#include "FaultLog.h"
#include "TextConvert.h"

namespace tessaly {
namespace {

constexpr long kRowTimeoutMs = 20000;
constexpr DWORD kPingTimeoutMs = 1000;

// Reads a property of a row as trimmed text; null and empty properties give "".
bool PropertyText(IWbemClassObject* row, const wchar_t* name, std::wstring& out) {
    unique_variant value;
    if (FAILED(row->Get(name, 0, value.put(), nullptr, nullptr))) return false;
    if (value.get().vt == VT_NULL || value.get().vt == VT_EMPTY) return true;
    if (FAILED(::VariantChangeType(&value.get(), &value.get(), 0, VT_BSTR))) return false;
    out = TrimSpaces(std::wstring(value.get().bstrVal, ::SysStringLen(value.get().bstrVal)));
    return true;
}

std::optional<unsigned long> IcmpEcho(const std::wstring& host) {
    WinsockSession winsock;
    if (!winsock.ok()) return std::nullopt;
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    unique_addrinfo found;
    if (::GetAddrInfoW(host.c_str(), nullptr, &hints, found.put()) != 0 || !found) return std::nullopt;
    const IPAddr address = reinterpret_cast<const sockaddr_in*>(found.get()->ai_addr)->sin_addr.S_un.S_addr;
    unique_icmp icmp(::IcmpCreateFile());
    if (!icmp) return std::nullopt;
    char payload[32] = "tessaly network probe";
    std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8 + 64);
    const DWORD replies = ::IcmpSendEcho(icmp.get(), address, payload, sizeof payload, nullptr, reply.data(),
                                         static_cast<DWORD>(reply.size()), kPingTimeoutMs);
    if (replies == 0) return std::nullopt;
    return reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data())->Status;
}

}  // namespace

ClsWMI::ClsWMI() {
    try {
        com_ptr<IWbemLocator> locator;
        if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      locator.put_void())))
            return;
        const unique_bstr nameSpace = MakeBstr(L"\\\\.\\root\\cimv2");
        if (FAILED(locator->ConnectServer(nameSpace.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                          m_services.put())))
            return;
        ::CoSetProxyBlanket(m_services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                            RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    } catch (...) {
        LogCaughtFault(L"ClsWMI::ClsWMI");
        m_services.reset();
    }
}

ClsWMI::~ClsWMI() = default;

namespace {

// First row of a WQL query: nullopt when the query failed, a null row when it gave none.
std::optional<com_ptr<IWbemClassObject>> FirstRow(IWbemServices* services, const std::wstring& wql) {
    if (!services) return std::nullopt;
    const unique_bstr language = MakeBstr(L"WQL");
    const unique_bstr query = MakeBstr(wql);
    com_ptr<IEnumWbemClassObject> rows;
    if (FAILED(services->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, rows.put())) ||
        !rows)
        return std::nullopt;
    com_ptr<IWbemClassObject> row;
    ULONG returned = 0;
    const HRESULT hr = rows->Next(kRowTimeoutMs, 1, row.put(), &returned);
    if (FAILED(hr)) return std::nullopt;
    if (returned == 0) row.reset();
    return row;
}

bool AskRow(IWbemServices* services, const std::wstring& wql, const wchar_t* name1, std::wstring& out1,
            const wchar_t* name2, std::wstring* out2) {
    try {
        out1.clear();
        if (out2) out2->clear();
        auto row = FirstRow(services, wql);
        if (!row) return false;
        if (!*row) return true;
        if (!PropertyText(row->get(), name1, out1)) return false;
        return !out2 || PropertyText(row->get(), name2, *out2);
    } catch (...) {
        LogCaughtFault(L"ClsWMI::AskRow");
        return false;
    }
}

std::wstring ProcessQuery(const std::wstring& exeName) {
    return L"SELECT * FROM Win32_Process WHERE Name = '" + exeName + L"'";
}

}  // namespace

bool ClsWMI::getOsInfo(std::wstring& osName, std::wstring& osVer) {
    return AskRow(m_services.get(), L"Select * from Win32_OperatingSystem", L"Caption", osName, L"version", &osVer);
}

bool ClsWMI::getCpuInfo(std::wstring& cpuName, std::wstring& Arch) {
    return AskRow(m_services.get(), L"Select * from Win32_Processor", L"Name", cpuName, L"AddressWidth", &Arch);
}

bool ClsWMI::getUUIDInfo(std::wstring& retUUID) {
    return AskRow(m_services.get(), L"Select * from Win32_ComputerSystemProduct", L"uuid", retUUID, nullptr, nullptr);
}

bool ClsWMI::IsExistProcess(const std::wstring& exeName) {
    try {
        const auto row = FirstRow(m_services.get(), ProcessQuery(exeName));
        return row && *row;
    } catch (...) {
        LogCaughtFault(L"ClsWMI::IsExistProcess");
        return false;
    }
}

bool ClsWMI::TerminateProcess(const std::wstring& exeName) {
    try {
        std::wstring command = L"taskkill.exe /f /im " + exeName;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                              &startup, &process))
            return false;
        TakeProcessHandles(process);  // not waited for: the query below decides
        DoEvents();
        ::Sleep(1000);
        const auto row = FirstRow(m_services.get(), ProcessQuery(exeName));
        return row && !*row;
    } catch (...) {
        LogCaughtFault(L"ClsWMI::TerminateProcess");
        return false;
    }
}

std::wstring ClsWMI::PingHostOf(const std::wstring& webAddress) {
    std::wstring host = webAddress;
    const size_t scheme = host.find(L"://");
    if (scheme != std::wstring::npos) host = host.substr(scheme + 3);
    const size_t slash = host.find(L'/');
    if (slash != std::wstring::npos && slash > 0) host = host.substr(0, slash);
    // A ping knows no port: "127.0.0.1:8089" would not resolve. "[::1]:8089" names the host ::1.
    if (!host.empty() && host.front() == L'[') {
        const size_t close = host.find(L']');
        if (close != std::wstring::npos) host = host.substr(1, close - 1);
    } else if (const size_t colon = host.find(L':');
               colon != std::wstring::npos && host.find(L':', colon + 1) == std::wstring::npos) {
        host.erase(colon);
    }
    return host;
}

bool ClsWMI::IsConnectedNetWork(const std::wstring& webAddress) {
    try {
        const std::wstring host = PingHostOf(webAddress);
        if (host.empty()) return false;
        const auto row = FirstRow(m_services.get(), L"Select * From Win32_PingStatus Where Address = '" + host + L"'");
        if (row && *row) {
            unique_variant status;
            if (FAILED((*row)->Get(L"StatusCode", 0, status.put(), nullptr, nullptr))) return false;
            if (status.get().vt == VT_NULL || status.get().vt == VT_EMPTY) return false;
            if (FAILED(::VariantChangeType(&status.get(), &status.get(), 0, VT_I4))) return false;
            return status.get().lVal == 0;
        }
        // No row (the service lacks the class, as Wine's does): ask the host directly.
        const auto echo = IcmpEcho(host);
        return echo && *echo == IP_SUCCESS;
    } catch (...) {
        LogCaughtFault(L"ClsWMI::IsConnectedNetWork");
        return false;
    }
}

}  // namespace tessaly
