// Cleaning a document encrypted with Office's default password: the plain document behind the
// password is cleaned like any other, then encrypted again the way the original was, so Excel
// still opens it without asking. Refused, with the file untouched, when that cannot be done soundly.
#pragma once

#include "Analyzer.h"
#include "ByteReader.h"
#include "ByteSink.h"
#include "Signatures.h"

namespace tessaly::analysis {

// Writes the re-encrypted document into `out`; it is the cleaned document when the code is
// kCleanRepaired.
CleanOutcome CleanBehindDefaultPassword(Bytes document, const SignatureSet& signatures, ByteSink& out);

}  // namespace tessaly::analysis
