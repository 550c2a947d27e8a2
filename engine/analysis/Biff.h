// BIFF8 workbook streams (.xls), and the BIFF5 ones of Excel 5.0/95: the records that matter for macros and encryption — sheet types,
// FILEPASS, OBJPROJ, auto-open names — and the formulas of Excel 4.0 macro sheets as text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ByteReader.h"

namespace tessaly::analysis::biff {

enum class SheetType : std::uint8_t { kWorksheet = 0, kMacroSheet = 1, kChart = 2, kVbModule = 6 };

struct Sheet {
    std::string name;
    SheetType type = SheetType::kWorksheet;
    std::uint32_t streamOffset = 0;
    std::uint8_t visibility = 0;
};

struct Workbook {
    bool readable = false;
    bool biff5 = false;            // an Excel 5.0/95 workbook (BIFF5)
    bool encrypted = false;        // FILEPASS present
    bool hasObjProj = false;       // the workbook records a VBA project
    bool autoOpenName = false;     // a defined name Auto_Open / Auto_Activate (built-in or typed)
    std::vector<Sheet> sheets;
    std::string macroSheetText;    // functions and strings of macro sheet formulas, upper case
};

Workbook ReadWorkbook(Bytes stream);

// The workbook stream without OBJPROJ, with every absolute stream position it holds shifted to
// match (sheet offsets, INDEX, EXTSST). nullopt when a record could not be adjusted soundly.
std::optional<ByteVec> WithoutVbaProjectRecord(Bytes stream);

}  // namespace tessaly::analysis::biff
