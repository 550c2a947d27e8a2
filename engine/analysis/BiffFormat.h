// On-disk layout of BIFF8 (and BIFF5) workbook streams: the record header, the record ids the analysis reads
// or edits and the fields of those records, by name.
#pragma once

#include <cstdint>

#include "ByteReader.h"

namespace tessaly::analysis::biff {

namespace record {
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr Field<std::uint16_t> kId{0};
inline constexpr Field<std::uint16_t> kLength{2};
}  // namespace record

enum RecordId : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kObjProj = 0x00D3,
    kName = 0x0018,
    kFormula = 0x0006,
    kIndex = 0x020B,
    kExtSst = 0x00FF,
    kString = 0x0207,
    kContinue = 0x003C,
    kExternSheet = 0x0017,
    kSupBook = 0x01AE,
    kWindow1 = 0x003D,
    kWindow2 = 0x023E,
    kTabIds = 0x013D,  // RRTabId
    // Records the encryption leaves in clear, besides BOF and FILEPASS.
    kUsrExcl = 0x0194,
    kFileLock = 0x0195,
    kInterfaceHdr = 0x00E1,
    kRrdInfo = 0x0196,
    kRrdHead = 0x0138,
};

// Calls `visit` with the offset, inside a record's data, of every absolute stream position the
// record holds (sheet substream starts, row blocks, shared-string buckets): what moves when bytes
// before it are removed or inserted.
template <typename Visit>
void ForEachPositionField(std::uint16_t id, std::size_t dataSize, Visit&& visit);

namespace bof {
inline constexpr Field<std::uint16_t> kVersion{0};
inline constexpr Field<std::uint16_t> kSubstreamType{2};
inline constexpr std::uint16_t kBiff5 = 0x0500;  // Excel 5.0/95 workbooks
inline constexpr std::uint16_t kBiff8 = 0x0600;
inline constexpr std::uint16_t kGlobals = 0x0005;
inline constexpr std::uint16_t kMacroSheet = 0x0040;
}  // namespace bof

// A sheet is an Excel 4.0 macro sheet when its BOUNDSHEET record or its own BOF says so: Excel
// runs the formulas of either.
inline bool OpensMacroSheet(Bytes bofData) { return ReadField(bofData, bof::kSubstreamType) == bof::kMacroSheet; }

namespace filepass {
inline constexpr Field<std::uint16_t> kEncryptionType{0};
inline constexpr std::uint16_t kXor = 0;
inline constexpr std::uint16_t kRc4 = 1;  // Office binary RC4 or CryptoAPI RC4, told apart by the version that follows
inline constexpr std::size_t kRc4InfoOffset = 2;
inline constexpr Field<std::uint16_t> kXorKey{2};
inline constexpr Field<std::uint16_t> kXorVerifier{4};
// Excel 5.0/95 knows only XOR obfuscation and stores key and verifier without the type.
inline constexpr std::size_t kBiff5Size = 4;
inline constexpr Field<std::uint16_t> kBiff5XorKey{0};
inline constexpr Field<std::uint16_t> kBiff5XorVerifier{2};
}  // namespace filepass

namespace boundsheet {
inline constexpr Field<std::uint32_t> kStreamPosition{0};  // absolute position of the sheet's BOF
inline constexpr Field<std::uint8_t> kVisibility{4};
inline constexpr Field<std::uint8_t> kSheetType{5};
inline constexpr std::size_t kNameOffset = 6;  // ShortXLUnicodeString
inline constexpr std::size_t kMinSize = 8;
inline constexpr std::uint8_t kVisibilityMask = 0x03;  // 0 visible, 1 hidden, 2 very hidden
inline constexpr std::uint8_t kMacroSheet = 1;        // sheet type
}  // namespace boundsheet

namespace formula {
inline constexpr Field<std::uint16_t> kParsedLength{20};
inline constexpr std::size_t kParsedOffset = 22;  // the parsed expression (rgce)
}  // namespace formula

namespace name {
inline constexpr Field<std::uint16_t> kFlags{0};
inline constexpr Field<std::uint8_t> kShortcutKey{2};
inline constexpr Field<std::uint8_t> kNameLength{3};
inline constexpr Field<std::uint16_t> kFormulaLength{4};
inline constexpr Field<std::uint16_t> kSheet{8};  // one-based tab of a sheet-level name; 0 for a global one
inline constexpr std::size_t kStringFlagsOffset = 14;
inline constexpr std::size_t kTextOffset = 15;
inline constexpr std::size_t kTextOffsetBiff5 = 14;  // BIFF5 has no string flags byte
inline constexpr std::uint16_t kHiddenFlag = 0x0001;
inline constexpr std::uint16_t kVbaFlag = 0x0004;    // a VBA procedure
inline constexpr std::uint16_t kMacroFlag = 0x0008;  // a command macro (Excel 4.0 unless kVbaFlag)
inline constexpr std::uint16_t kBuiltinFlag = 0x0020;
inline constexpr std::uint8_t kBuiltinAutoOpen = 0x01;
inline constexpr std::uint8_t kBuiltinAutoClose = 0x02;
inline constexpr std::uint8_t kBuiltinAutoActivate = 0x0A;
inline constexpr std::uint8_t kBuiltinAutoDeactivate = 0x0B;
}  // namespace name

// EXTERNSHEET: a count, then XTI entries naming a SUPBOOK and a range of its sheets.
namespace externsheet {
inline constexpr Field<std::uint16_t> kCount{0};
inline constexpr std::size_t kFirstEntryOffset = 2;
inline constexpr std::size_t kEntrySize = 6;
inline constexpr Field<std::uint16_t> kSupBook{0};  // in an entry
inline constexpr Field<std::uint16_t> kFirstSheet{2};
inline constexpr Field<std::uint16_t> kLastSheet{4};
}  // namespace externsheet

namespace supbook {
inline constexpr Field<std::uint16_t> kSheetCount{0};
inline constexpr Field<std::uint16_t> kKind{2};
inline constexpr std::uint16_t kSelfReference = 0x0401;  // the workbook's own sheets
}  // namespace supbook

namespace window1 {
inline constexpr Field<std::uint16_t> kActiveTab{10};
inline constexpr Field<std::uint16_t> kFirstTab{12};
inline constexpr Field<std::uint16_t> kSelectedTabs{14};
}  // namespace window1

namespace window2 {
inline constexpr Field<std::uint16_t> kFlags{0};
inline constexpr std::uint16_t kSelected = 0x0200;
inline constexpr std::uint16_t kOnDisplay = 0x0400;
}  // namespace window2

namespace tabids {
inline constexpr std::size_t kEntrySize = 2;  // one sheet id per BOUNDSHEET, in tab order
}  // namespace tabids

namespace rowindex {
inline constexpr Field<std::uint32_t> kDefColWidthPosition{12};
inline constexpr std::size_t kRowBlockPositionsOffset = 16;  // one absolute position each
inline constexpr std::size_t kMinSize = 16;
}  // namespace rowindex

namespace extsst {
inline constexpr std::size_t kFirstBucketOffset = 2;
inline constexpr std::size_t kBucketSize = 8;  // absolute position (4), offset in SST record (2), reserved (2)
}  // namespace extsst

// Parsed-expression tokens the analysis reads, in each of their operand classes.
namespace ptg {
inline constexpr std::uint8_t kStr = 0x17;
inline constexpr std::uint8_t kFunc[] = {0x21, 0x41, 0x61};
inline constexpr std::uint8_t kFuncVar[] = {0x22, 0x42, 0x62};
inline constexpr std::uint8_t kErr = 0x1C;
inline constexpr std::uint8_t kErrorRef = 0x17;  // the value of #REF!
}  // namespace ptg

template <typename Visit>
void ForEachPositionField(std::uint16_t id, std::size_t dataSize, Visit&& visit) {
    if (id == kBoundSheet && dataSize >= boundsheet::kStreamPosition.end()) visit(boundsheet::kStreamPosition.offset);
    if (id == kIndex && dataSize >= rowindex::kMinSize) {
        visit(rowindex::kDefColWidthPosition.offset);
        for (std::size_t at = rowindex::kRowBlockPositionsOffset; at + 4 <= dataSize; at += 4) visit(at);
    }
    if (id == kExtSst)
        for (std::size_t at = extsst::kFirstBucketOffset; at + extsst::kBucketSize <= dataSize; at += extsst::kBucketSize) visit(at);
}

}  // namespace tessaly::analysis::biff
