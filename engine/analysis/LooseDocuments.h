// Documents Office opens although they are no compound file or package: single-sheet workbooks of
// Excel 2.x-4.0 (raw BIFF2-4 records), Word 1.x/2.0 files, and web pages saved under an Office
// name. Each is read for what it can carry: Excel 4.0 macro sheets, a template's macro table,
// macros embedded as an ActiveMime part.
#pragma once

#include "ByteReader.h"
#include "Findings.h"

namespace tessaly::analysis::loose {

// True when the bytes are one of these formats; the findings then say what it carries.
bool Inspect(Bytes document, Findings& findings);

}  // namespace tessaly::analysis::loose
