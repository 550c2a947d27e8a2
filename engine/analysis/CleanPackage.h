// Rewriting an OOXML package without its VBA project and Excel 4.0 macro sheets.
#pragma once

#include <optional>
#include <string>

#include "ByteSink.h"
#include "Zip.h"

namespace tessaly::analysis {

struct PackageRebuild {
    std::optional<ByteVec> bytes;  // filled by the in-memory form only
    std::string failure;           // empty when the package was written
    std::vector<std::string> removedParts;
};

// Writes the cleaned package into `out`; on failure `out` may hold a partial package.
PackageRebuild RebuildPackageWithoutMacros(Bytes original, const zip::Archive& archive, ByteSink& out);
PackageRebuild RebuildPackageWithoutMacros(Bytes original, const zip::Archive& archive);

}  // namespace tessaly::analysis
