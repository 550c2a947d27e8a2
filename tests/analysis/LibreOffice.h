// Workbooks opened in LibreOffice Calc (headless): every sheet a document has, as LibreOffice reads
// it, by sheet name. Used to check that a cleaned workbook still opens with the same data.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ByteReader.h"

namespace tessaly::testfiles {

bool HaveLibreOffice();

struct SheetText {
    std::map<std::string, std::string> values;    // sheet name -> CSV of the cell values
    std::map<std::string, std::string> formulas;  // sheet name -> CSV with formulas as written
};

// One entry per document, in order; a document LibreOffice could not open has no sheets.
// `extension` is the file type to present them as (".xls", ".xlsx"...).
std::vector<SheetText> SheetsInLibreOffice(const std::vector<analysis::ByteVec>& documents, const std::string& extension);

}  // namespace tessaly::testfiles
