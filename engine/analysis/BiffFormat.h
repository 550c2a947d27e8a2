// On-disk layout of BIFF8 (and BIFF5) workbook streams: the record header, the record ids the analysis reads
// and the fields of those records, by name.
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
};

namespace bof {
inline constexpr Field<std::uint16_t> kVersion{0};
inline constexpr std::uint16_t kBiff5 = 0x0500;  // Excel 5.0/95 workbooks
}  // namespace bof

namespace boundsheet {
inline constexpr Field<std::uint32_t> kStreamPosition{0};  // absolute position of the sheet's BOF
inline constexpr Field<std::uint8_t> kVisibility{4};
inline constexpr Field<std::uint8_t> kSheetType{5};
inline constexpr std::size_t kNameOffset = 6;  // ShortXLUnicodeString
inline constexpr std::size_t kMinSize = 8;
}  // namespace boundsheet

namespace formula {
inline constexpr Field<std::uint16_t> kParsedLength{20};
inline constexpr std::size_t kParsedOffset = 22;  // the parsed expression (rgce)
}  // namespace formula

namespace name {
inline constexpr Field<std::uint16_t> kFlags{0};
inline constexpr Field<std::uint8_t> kNameLength{3};
inline constexpr std::size_t kStringFlagsOffset = 14;
inline constexpr std::size_t kTextOffset = 15;
inline constexpr std::size_t kTextOffsetBiff5 = 14;  // BIFF5 has no string flags byte
inline constexpr std::uint16_t kBuiltinFlag = 0x0020;
inline constexpr std::uint8_t kBuiltinAutoOpen = 0x01;
inline constexpr std::uint8_t kBuiltinAutoActivate = 0x0A;
}  // namespace name

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
}  // namespace ptg

}  // namespace tessaly::analysis::biff
