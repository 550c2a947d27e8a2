// Removing Excel 4.0 macro sheets from a BIFF8 workbook stream (.xls, .xlt) so that everything else
// still points where it did: the macro sheets' BOUNDSHEET records and substreams go; 3-D references
// (EXTERNSHEET entries of the self-referencing SUPBOOK), sheet-level names, the active and first
// tabs and the tab ids are renumbered; names that start macros or belong to a removed sheet stay
// in place (formulas count names by position) but become hidden, inert #REF! names.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ByteReader.h"

namespace tessaly::analysis::biff {

struct MacroSheetRemoval {
    std::optional<ByteVec> stream;  // the new stream; the input unchanged when it had no macro sheets
    std::string failure;            // why it could not be done soundly
    std::size_t removedSheets = 0;
    std::vector<std::string> removedNames;  // UTF-8, in tab order
};

MacroSheetRemoval WithoutMacroSheets(Bytes stream);

}  // namespace tessaly::analysis::biff
