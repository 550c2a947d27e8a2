// Faults the analysis swallows to stay in service (it falls back, it does not stop) still leave a
// line: in the engine's error log on Windows, on the standard error of the host's tools and tests.
#pragma once

#include <string_view>

namespace tessaly::analysis {

// UTF-8 texts: where it happened and what went wrong. Never throws.
void ReportFault(std::string_view where, std::string_view what) noexcept;

}  // namespace tessaly::analysis
