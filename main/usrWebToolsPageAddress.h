// Where the web tools page goes and which host it asks about the network: the web-server host as
// stored in config.dat, the tools page below it, and the bare host name of that address.
#pragma once

#include <string>

namespace tessaly::web_tools {

inline constexpr wchar_t kClientToolsPath[] = L"/tessaly/clienttools";

// "general"/WebServerHost as stored (a trailing "/" stays), the maker's root when missing.
std::wstring StoredWebServerHost(const std::wstring& configFile);
// host + "/tessaly/clienttools", unchanged otherwise.
std::wstring ClientToolsAddress(const std::wstring& host);
// The machine name in host, without scheme, path, user part or port: what answers a ping.
// Empty when the address names no machine.
std::wstring ProbeHostOf(const std::wstring& host);

}  // namespace tessaly::web_tools
