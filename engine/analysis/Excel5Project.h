// VBA of Excel 5.0/95 workbooks: modules are sheets of the BIFF5 "Book" stream (BOUNDSHEET type 6)
// and the project is a "_VBA_PROJECT" storage at the root, older than the layout Office 97 gave
// projects ("VBA/dir"). Its source is found where a compressed container decompresses.
#pragma once

#include "Cfb.h"
#include "Findings.h"

namespace tessaly::analysis::excel5 {

inline constexpr std::string_view kProjectStorage = "_VBA_PROJECT";

void InspectProject(const cfb::CompoundFile& file, Findings& findings, WorkBudget* budget = nullptr);

// True when the workbook keeps VBA modules as sheets, which a clean cannot take out of the BIFF5
// sheet list without renumbering every sheet after them.
bool HasModuleSheets(const cfb::CompoundFile& file);

}  // namespace tessaly::analysis::excel5
