// The trigger both process-exit watches of the guard raise: the file name of one process that
// ended, as the platform reports it (the guard lower-cases it before comparing).
#pragma once

#include <functional>
#include <string>

namespace tessaly::guard {

using ProcessEndedHandler = std::function<void(const std::wstring& processName)>;

}  // namespace tessaly::guard
