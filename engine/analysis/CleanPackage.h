// Rewriting an OOXML package without its VBA project and Excel 4.0 macro sheets.
#pragma once

#include <optional>
#include <string>

#include "Zip.h"

namespace tessaly::analysis {

struct PackageRebuild {
    std::optional<ByteVec> bytes;
    std::string failure;
    std::vector<std::string> removedParts;
};

PackageRebuild RebuildPackageWithoutMacros(Bytes original, const zip::Archive& archive);

}  // namespace tessaly::analysis
