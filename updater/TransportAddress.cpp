// The rules of the transport's addresses; see TransportAddress.h.
#include "TransportAddress.h"

#include <cwctype>

#include "TextConvert.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kHttp[] = L"http://";
constexpr wchar_t kHttps[] = L"https://";

bool IsSecure(const std::wstring& address) { return StartsWithNoCase(address, kHttps); }

// "name:" at the start, as in "ftp:", "file:" or "c:"; a host with a port ("127.0.0.1:8089/p",
// "localhost:8089") has none.
bool HasScheme(const std::wstring& address) {
    const std::size_t colon = address.find(L':');
    if (colon == std::wstring::npos || colon == 0 || !std::iswalpha(address[0])) return false;
    for (std::size_t i = 1; i < colon; ++i)
        if (!std::iswalnum(address[i]) && address[i] != L'+' && address[i] != L'-' && address[i] != L'.') return false;
    std::size_t digits = colon + 1;
    while (digits < address.size() && std::iswdigit(address[digits])) ++digits;
    const bool port = digits > colon + 1 && (digits == address.size() || address[digits] == L'/');
    return !port;
}

}  // namespace

bool IsWebAddress(const std::wstring& address) {
    return StartsWithNoCase(address, kHttp) || StartsWithNoCase(address, kHttps);
}

bool KeepsChannel(const std::wstring& from, const std::wstring& to) {
    return IsWebAddress(to) && (IsSecure(to) || !IsSecure(from));
}

std::wstring PackageAddress(const std::wstring& packageUrl, const std::wstring& requestUrl) {
    if (packageUrl.empty()) return {};
    const std::wstring address = HasScheme(packageUrl) ? packageUrl : kHttp + packageUrl;
    return KeepsChannel(requestUrl, address) ? address : std::wstring();
}

}  // namespace tessaly::updater
