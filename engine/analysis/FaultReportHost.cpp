// The host build has no error log of its own: its tools and tests read the standard error.
#include <cstdio>

#include "FaultReport.h"

namespace tessaly::analysis {

void ReportFault(std::string_view where, std::string_view what) noexcept {
    std::fprintf(stderr, "analysis fault: %.*s: %.*s\n", static_cast<int>(where.size()), where.data(),
                 static_cast<int>(what.size()), what.data());
}

}  // namespace tessaly::analysis
