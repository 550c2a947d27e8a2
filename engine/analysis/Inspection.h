// Reads a document of any supported kind into Findings: compound files (Word, Excel, encrypted
// OOXML, bare vbaProject.bin) and ZIP packages (OOXML, including renamed ones).
#pragma once

#include "ByteReader.h"
#include "Cfb.h"
#include "Findings.h"

namespace tessaly::analysis {

Findings InspectDocument(Bytes document);
// For callers that already opened the compound file (the cleaner's verification).
void InspectCompoundFile(const cfb::CompoundFile& file, Findings& findings, int nesting);

}  // namespace tessaly::analysis
