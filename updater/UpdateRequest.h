// The update request body: the query of installed version, execution level and machine facts,
// wrapped in the four form fields "size", "checksum", "zip" and "data".
#pragma once

#include <string>

namespace tessaly::updater {

// Queries of this many characters or more go out compressed.
inline constexpr std::size_t kCompressFromChars = 80;

// "AppVer=<hex>&ExecutionLevel=<hex of 1 or 0>", then "&" and the facts when there are any.
std::wstring BuildUpdateQuery(const std::wstring& appVersion, bool elevated, const std::wstring& facts);
// "size=<n>&checksum=0&zip=<0|1>&data=<hex>"; "" on any failure.
std::wstring PackRequestData(const std::wstring& query);

}  // namespace tessaly::updater
