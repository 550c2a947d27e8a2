// The updater's entry: start-up (single instance, folders, identity, the cached package), the
// window, the once-a-day gate and the check, and the common ending.
#pragma once

#include <string>

namespace tessaly::updater {

// Runs the updater for these command-line arguments; returns when the program may end.
int Main(const std::wstring& arguments);

}  // namespace tessaly::updater
