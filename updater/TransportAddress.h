// Which addresses the updater's transport may go to. The update request starts on the channel
// config.dat names (https unless an administrator wrote plain http there by hand); nothing the
// network hands out afterwards (a new request URL, a package URL, a redirect target) may leave
// http(s) or lower an https channel to plain http.
#pragma once

#include <string>

namespace tessaly::updater {

// The address begins with "http://" or "https://" (in any letter case).
bool IsWebAddress(const std::wstring& address);
// `to` is a web address and not plain http where `from` was https.
bool KeepsChannel(const std::wstring& from, const std::wstring& to);
// The package address as the downloads use it: one without a scheme of its own is taken as
// plain http; "" when it may not be used after an update request to requestUrl.
std::wstring PackageAddress(const std::wstring& packageUrl, const std::wstring& requestUrl);

}  // namespace tessaly::updater
