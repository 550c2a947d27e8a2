// In zdvcore.exe the fault goes to the program's error log ("zdvcore.exe.err" in the per-machine
// data folder), beside the faults the engine's own code logs.
#include "FaultReport.h"

#include "FaultLog.h"
#include "TextConvert.h"

namespace tessaly::analysis {

void ReportFault(std::string_view where, std::string_view what) noexcept {
    try {
        LogFault(Utf8ToWide(where), Utf8ToWide(what));
    } catch (...) {
        // Nowhere left to write it.
    }
}

}  // namespace tessaly::analysis
