// Removing macros from a document: rewrite the container without them, then verify the result
// with the analysis itself before it is offered as repaired.
#pragma once

#include "Analyzer.h"
#include "ByteReader.h"
#include "Signatures.h"

namespace tessaly::analysis {

CleanOutcome CleanDocument(Bytes document, const SignatureSet& signatures);

}  // namespace tessaly::analysis
