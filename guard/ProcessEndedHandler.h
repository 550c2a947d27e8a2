// The trigger both process-exit watches of the guard raise: one process that ended, as the
// platform reports it (the guard lower-cases its name before comparing).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace tessaly::guard {

struct RunningProcess {
    DWORD id = 0;
    std::wstring name;         // file name as the platform lists it
    std::uint64_t created = 0;  // creation time in 100 ns steps since 1601 (UTC); 0 when unknown
};

using ProcessEndedHandler = std::function<void(const RunningProcess& ended)>;

}  // namespace tessaly::guard
