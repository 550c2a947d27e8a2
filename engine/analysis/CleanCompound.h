// Rebuilding a compound file without its macro storage.
#pragma once

#include <optional>
#include <string>

#include "ByteSink.h"
#include "Cfb.h"

namespace tessaly::analysis {

struct RebuildResult {
    std::optional<ByteVec> bytes;  // filled by the in-memory form only
    std::string failure;           // empty when the file was written
    std::vector<std::string> changedStreams;  // paths whose bytes were changed on purpose
};

// Writes the rebuilt file into `out`, streams copied piece by piece from where they lie; on
// failure `out` may hold a partial file.
RebuildResult RebuildWithoutMacros(const cfb::CompoundFile& file, ByteSink& out);
RebuildResult RebuildWithoutMacros(const cfb::CompoundFile& file);

}  // namespace tessaly::analysis
