// From findings to a scan verdict: encryption, damage, signatures, heuristics, then macro presence.
#pragma once

#include "Analyzer.h"
#include "Findings.h"
#include "Signatures.h"

namespace tessaly::analysis {

Verdict Decide(const Findings& findings, const SignatureSet& signatures);

}  // namespace tessaly::analysis
