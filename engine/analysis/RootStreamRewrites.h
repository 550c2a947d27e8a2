// Root streams of a compound file whose records hold or name the macros a clean removes, in the
// formats that keep their macros inside a document stream rather than in a storage of their own
// (PowerPoint 97-2003, Word 6.0/95), rewritten to match.
#pragma once

#include <map>
#include <string>

#include "Cfb.h"

namespace tessaly::analysis {

struct RootStreamRewrites {
    std::map<std::string, ByteVec> streams;  // root stream name -> its new bytes
    std::string refusal;                     // set when the macros cannot be removed soundly
};

RootStreamRewrites RewriteMacroRecords(const cfb::CompoundFile& file);

}  // namespace tessaly::analysis
