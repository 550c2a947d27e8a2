// The web tools page's addresses.
#include "usrWebToolsPageAddress.h"

#include <algorithm>

#include "ClsWMI.h"
#include "IniOperation.h"

namespace tessaly::web_tools {

std::wstring StoredWebServerHost(const std::wstring& configFile) {
    return ReadIniString(configFile, ini::kGeneral, ini::kWebServerHost, kDefaultWebServerRoot);
}

std::wstring ClientToolsAddress(const std::wstring& host) { return host + kClientToolsPath; }

std::wstring ProbeHostOf(const std::wstring& host) {
    std::wstring name = ClsWMI::PingHostOf(host);
    // A path that starts right after the scheme leaves no machine name.
    if (!name.empty() && name.front() == L'/') return {};
    name.erase(std::min(name.find_first_of(L"?#"), name.size()));
    const size_t at = name.rfind(L'@');
    if (at != std::wstring::npos) name.erase(0, at + 1);
    if (!name.empty() && name.front() == L'[') {
        const size_t close = name.find(L']');
        return close == std::wstring::npos ? std::wstring{} : name.substr(1, close - 1);
    }
    const size_t colon = name.find(L':');
    // More than one colon is a bare IPv6 address, which has no port to cut.
    if (colon != std::wstring::npos && name.find(L':', colon + 1) == std::wstring::npos) name.erase(colon);
    return name;
}

}  // namespace tessaly::web_tools
