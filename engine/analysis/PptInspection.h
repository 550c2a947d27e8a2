// What a PowerPoint 97-2003 presentation carries: its VBA project and the macros of the documents
// it embeds, read from the storages inside the "PowerPoint Document" stream.
#pragma once

#include "Budget.h"
#include "Cfb.h"
#include "Findings.h"

namespace tessaly::analysis {

// Nested storages are read on `budget` when one is given.
void InspectPresentation(const cfb::CompoundFile& file, Findings& findings, int nesting, WorkBudget* budget = nullptr);

}  // namespace tessaly::analysis
