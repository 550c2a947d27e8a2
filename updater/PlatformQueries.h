// What the updater asks the platform about itself: elevation and the major version.
#pragma once

#include <cstdint>

namespace tessaly::updater {

// True on Windows XP and earlier; otherwise from the process token: a full token, or an elevated
// one. Every failure gives False.
bool IsProcessElevated();
// Major version of the extended version query; 0 when the query fails.
std::int32_t GetOsMajorVersion();

}  // namespace tessaly::updater
