// On-disk layout of the workbook part of Excel binary workbooks (.xlsb, xl/workbook.bin): the
// record types the macro-sheet removal reads or rewrites and their fields, by name. The record
// header itself (variable-length type and size) is XlsbRecords.h's.
#pragma once

#include <cstdint>

#include "ByteReader.h"

namespace tessaly::analysis::xlsb {

enum RecordType : std::uint32_t {
    kName = 0x0027,
    kBundleSheet = 0x009C,
    kBookView = 0x009E,
    kSupBookSource = 0x0163,
    kSupSelf = 0x0165,
    kSupSame = 0x0166,
    kExternSheet = 0x016A,
    kSupAddin = 0x029B,
};

// XLNullableWideString: this character count stands for the null string.
inline constexpr std::uint32_t kNullString = 0xFFFFFFFF;

namespace bundlesheet {
inline constexpr Field<std::uint32_t> kState{0};
inline constexpr Field<std::uint32_t> kSheetId{4};
inline constexpr std::size_t kRelIdOffset = 8;  // then the sheet name
inline constexpr std::uint32_t kVisibilityMask = 0x3;
}  // namespace bundlesheet

namespace name {
inline constexpr Field<std::uint32_t> kFlags{0};
inline constexpr Field<std::uint8_t> kShortcutKey{4};
inline constexpr Field<std::uint32_t> kSheet{5};  // zero-based tab, or kWorkbookScope
inline constexpr std::size_t kTextOffset = 9;    // then the formula and the comment
inline constexpr std::uint32_t kWorkbookScope = 0xFFFFFFFF;
inline constexpr std::uint32_t kHiddenFlag = 0x01;
inline constexpr std::uint32_t kVbaFlag = 0x04;
inline constexpr std::uint32_t kMacroFlag = 0x08;
}  // namespace name

namespace bookview {
inline constexpr Field<std::uint32_t> kFirstTab{20};
inline constexpr Field<std::uint32_t> kActiveTab{24};
}  // namespace bookview

// BrtExternSheet: a count, then XTI entries naming a supporting link and a range of its sheets.
namespace externsheet {
inline constexpr Field<std::uint32_t> kCount{0};
inline constexpr std::size_t kFirstEntryOffset = 4;
inline constexpr std::size_t kEntrySize = 12;
inline constexpr Field<std::uint32_t> kSupBook{0};  // in an entry
inline constexpr Field<std::uint32_t> kFirstSheet{4};
inline constexpr Field<std::uint32_t> kLastSheet{8};
}  // namespace externsheet

}  // namespace tessaly::analysis::xlsb
