// Reads a document of any supported kind into Findings: compound files (Word, Excel, encrypted
// OOXML, bare vbaProject.bin) and ZIP packages (OOXML, including renamed ones).
#pragma once

#include "Budget.h"
#include "ByteReader.h"
#include "Cfb.h"
#include "Findings.h"

namespace tessaly::analysis {

// With a budget for the document's size.
Findings InspectDocument(Bytes document);
Findings InspectDocument(Bytes document, WorkBudget& budget);
// For callers that already opened the compound file (the cleaner's verification).
void InspectCompoundFile(const cfb::CompoundFile& file, Findings& findings, int nesting, WorkBudget* budget = nullptr);

}  // namespace tessaly::analysis
