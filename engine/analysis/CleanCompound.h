// Rebuilding a compound file without its macro storage.
#pragma once

#include <optional>
#include <string>

#include "Cfb.h"

namespace tessaly::analysis {

struct RebuildResult {
    std::optional<ByteVec> bytes;
    std::string failure;
    std::vector<std::string> changedStreams;  // paths whose bytes were changed on purpose
};

RebuildResult RebuildWithoutMacros(const cfb::CompoundFile& file);

}  // namespace tessaly::analysis
