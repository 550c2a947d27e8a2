// Removing macros from a document: rewrite the container without them into a sink, then verify
// what was written with the analysis itself before it is offered as repaired.
#pragma once

#include "Analyzer.h"
#include "ByteReader.h"
#include "ByteSink.h"
#include "Signatures.h"

namespace tessaly::analysis {

// The outcome carries no bytes: the cleaned document is what `out` holds when the code is
// kCleanRepaired.
CleanOutcome CleanDocument(Bytes document, const SignatureSet& signatures, ByteSink& out);

}  // namespace tessaly::analysis
