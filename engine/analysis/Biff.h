// BIFF8 workbook streams (.xls), and the BIFF5 ones of Excel 5.0/95: the records that matter for macros and encryption — sheet types,
// FILEPASS, OBJPROJ, auto-open names — and the formulas of Excel 4.0 macro sheets as text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "ByteSink.h"
#include "ByteSource.h"

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
Workbook ReadWorkbook(const ByteSource& stream);
// Whether the globals substream lists an Excel 4.0 macro sheet; only the globals are walked.
bool ListsMacroSheets(const ByteSource& stream);

// The workbook stream without OBJPROJ, with every absolute stream position it holds shifted to
// match (sheet offsets, INDEX, EXTSST). nullopt when a record could not be adjusted soundly.
std::optional<ByteVec> WithoutVbaProjectRecord(Bytes stream);

// The same in two passes over a stream read in pieces: plan which records go (nullopt when the
// stream cannot be adjusted soundly), then write the adjusted stream, `size` bytes long.
struct WorkbookEdit {
    std::vector<std::uint64_t> removed;  // offsets of the removed records, in stream order
    std::uint64_t size = 0;
};
std::optional<WorkbookEdit> PlanWithoutVbaProjectRecord(const ByteSource& stream);
bool WriteEdited(const ByteSource& stream, const WorkbookEdit& edit, ByteSink& out);

}  // namespace tessaly::analysis::biff
