// Order matters: a virus found in what could be read is reported even when the rest of the
// document is encrypted or damaged (an encrypted workbook keeps its VBA project readable); a
// document we could not read is never called clean; a signature name is preferred to a heuristic
// one because it tells the user what the virus is.
#include "Decision.h"

#include "Heuristics.h"

namespace tessaly::analysis {

Verdict Decide(const Findings& f, const SignatureSet& signatures) {
    std::vector<NormalisedCode> code;
    code.reserve(f.code.size());
    for (const MacroCode& c : f.code) code.push_back({NormaliseSource(c.source), c.isXlm});
    for (const NormalisedCode& c : code)
        if (auto name = signatures.Match(c.text, c.isXlm)) return {kScanInfected, *name};
    if (auto name = HeuristicName(code, f.xlmAutoOpen)) return {kScanInfected, *name};

    if (f.encrypted) return {kScanEncrypted, "encrypted document"};
    if (f.damaged) return {kScanDamaged, f.reason.empty() ? "damaged document" : f.reason};

    if (f.vbaIncomplete) return {kScanSuspected, "VBA project that cannot be read fully"};
    if (f.hasXlm) return {kScanSuspected, f.xlmAutoOpen ? "Excel 4.0 macros that start themselves" : "Excel 4.0 macros"};
    if (f.vbaHasCode) return {kScanSuspected, "macros"};
    // An empty project (only the attribute lines every module gets) is no reason to alarm anyone.
    if (f.hasVbaStorage) return {kScanClean, "empty VBA project"};
    return {kScanClean, ""};
}

}  // namespace tessaly::analysis
