// On-disk layout of OLE property set streams ("\005SummaryInformation",
// "\005DocumentSummaryInformation"): the stream header, a property set's table of properties and
// the typed values the cleaner rewrites, by name.
#pragma once

#include <cstdint>

#include "ByteReader.h"

namespace tessaly::analysis::propset {

// The stream: a header, then one (format id, offset) entry per property set.
namespace stream {
inline constexpr Field<std::uint16_t> kByteOrder{0};
inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr Field<std::uint32_t> kSetCount{24};
inline constexpr std::size_t kFirstSetEntry = 28;
inline constexpr std::size_t kSetEntrySize = 20;     // format id (16), offset (4)
inline constexpr Field<std::uint32_t> kSetOffset{16};  // in an entry
}  // namespace stream

// A property set: its size, then one (id, offset) entry per property; offsets count from the set.
namespace set {
inline constexpr Field<std::uint32_t> kSize{0};
inline constexpr Field<std::uint32_t> kPropertyCount{4};
inline constexpr std::size_t kFirstPropertyEntry = 8;
inline constexpr std::size_t kPropertyEntrySize = 8;
inline constexpr Field<std::uint32_t> kPropertyId{0};  // in an entry
inline constexpr Field<std::uint32_t> kPropertyOffset{4};
inline constexpr std::size_t kAlignment = 4;  // of every value and of the set's size
}  // namespace set

// A typed value: its type and two bytes of padding, then the value.
namespace value {
inline constexpr Field<std::uint16_t> kType{0};
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::uint16_t kI2 = 0x0002;
inline constexpr std::uint16_t kI4 = 0x0003;
inline constexpr std::uint16_t kLpstr = 0x001E;   // 8-bit characters of the set's code page
inline constexpr std::uint16_t kLpwstr = 0x001F;  // UTF-16
inline constexpr std::uint16_t kVariant = 0x000C;
inline constexpr std::uint16_t kVector = 0x1000;  // a count of elements follows the type
}  // namespace value

// Properties of the document summary set that list a workbook's sheets.
inline constexpr std::uint32_t kCodePage = 0x01;
inline constexpr std::uint32_t kHeadingPairs = 0x0C;
inline constexpr std::uint32_t kDocParts = 0x0D;
inline constexpr std::uint16_t kCodePageUtf8 = 65001;

}  // namespace tessaly::analysis::propset
