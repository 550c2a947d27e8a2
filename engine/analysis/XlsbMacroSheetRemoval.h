// Removing macro sheets from the workbook part of an .xlsb package (xl/workbook.bin): their
// BrtBundleSh records go, and what counts tabs by position (Xti entries of the self-reference,
// sheet-level names, the book view's active and first tabs) is renumbered; names that start macros
// or belong to a removed sheet become hidden #REF! names in place. The sheet parts themselves and
// their relationships are the package cleaner's.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ByteReader.h"

namespace tessaly::analysis::xlsb {

struct WorkbookRemoval {
    std::optional<ByteVec> workbook;
    std::string failure;
    std::vector<std::string> removedNames;  // of the removed sheets, UTF-8, in tab order
};

// `removedRelIds` are the relationship ids (of workbook.bin's relationships) of the removed sheets.
WorkbookRemoval WorkbookWithoutSheets(Bytes workbookBin, const std::set<std::string>& removedRelIds);

}  // namespace tessaly::analysis::xlsb
