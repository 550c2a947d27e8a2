// On-disk layout of ZIP packages: local header, central directory record, end records and the
// ZIP64 extra field, by name. The reader, the writer and the tests share these.
#pragma once

#include <cstdint>

#include "ByteReader.h"

namespace tessaly::analysis::zip {

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kVersionDefault = 20;
inline constexpr std::uint16_t kVersionZip64 = 45;
inline constexpr std::uint16_t kZip64ExtraId = 0x0001;
inline constexpr std::uint16_t kDosDate1980 = 0x21;  // 1980-01-01
inline constexpr std::uint32_t kMax32 = 0xFFFFFFFF;
inline constexpr std::uint16_t kMax16 = 0xFFFF;

namespace local {
inline constexpr std::uint32_t kSignature = 0x04034b50;
inline constexpr std::size_t kSize = 30;  // name and extra field follow
inline constexpr Field<std::uint32_t> kSignatureField{0};
inline constexpr Field<std::uint16_t> kVersionNeeded{4};
inline constexpr Field<std::uint16_t> kFlags{6};
inline constexpr Field<std::uint16_t> kMethod{8};
inline constexpr Field<std::uint16_t> kModTime{10};
inline constexpr Field<std::uint16_t> kModDate{12};
inline constexpr Field<std::uint32_t> kCrc{14};
inline constexpr Field<std::uint32_t> kCompressedSize{18};
inline constexpr Field<std::uint32_t> kUncompressedSize{22};
inline constexpr Field<std::uint16_t> kNameLength{26};
inline constexpr Field<std::uint16_t> kExtraLength{28};
}  // namespace local

namespace central {
inline constexpr std::uint32_t kSignature = 0x02014b50;
inline constexpr std::size_t kSize = 46;  // name, extra field and comment follow
inline constexpr Field<std::uint32_t> kSignatureField{0};
inline constexpr Field<std::uint16_t> kVersionMadeBy{4};
inline constexpr Field<std::uint16_t> kVersionNeeded{6};
inline constexpr Field<std::uint16_t> kFlags{8};
inline constexpr Field<std::uint16_t> kMethod{10};
inline constexpr Field<std::uint16_t> kModTime{12};
inline constexpr Field<std::uint16_t> kModDate{14};
inline constexpr Field<std::uint32_t> kCrc{16};
inline constexpr Field<std::uint32_t> kCompressedSize{20};
inline constexpr Field<std::uint32_t> kUncompressedSize{24};
inline constexpr Field<std::uint16_t> kNameLength{28};
inline constexpr Field<std::uint16_t> kExtraLength{30};
inline constexpr Field<std::uint16_t> kCommentLength{32};
inline constexpr Field<std::uint16_t> kDiskStart{34};
inline constexpr Field<std::uint16_t> kInternalAttributes{36};
inline constexpr Field<std::uint32_t> kExternalAttributes{38};
inline constexpr Field<std::uint32_t> kLocalHeaderOffset{42};
}  // namespace central

namespace end {
inline constexpr std::uint32_t kSignature = 0x06054b50;
inline constexpr std::size_t kSize = 22;  // a comment of up to 65535 bytes follows
inline constexpr std::size_t kMaxComment = 0xFFFF;
inline constexpr Field<std::uint32_t> kSignatureField{0};
inline constexpr Field<std::uint16_t> kDisk{4};
inline constexpr Field<std::uint16_t> kDirectoryDisk{6};
inline constexpr Field<std::uint16_t> kEntriesOnDisk{8};
inline constexpr Field<std::uint16_t> kEntries{10};
inline constexpr Field<std::uint32_t> kDirectorySize{12};
inline constexpr Field<std::uint32_t> kDirectoryOffset{16};
inline constexpr Field<std::uint16_t> kCommentLength{20};
}  // namespace end

namespace end64 {
inline constexpr std::uint32_t kSignature = 0x06064b50;
inline constexpr std::size_t kSize = 56;
inline constexpr std::uint64_t kRecordSizeValue = kSize - 12;  // the record size field leaves out itself and the signature
inline constexpr Field<std::uint32_t> kSignatureField{0};
inline constexpr Field<std::uint64_t> kRecordSize{4};
inline constexpr Field<std::uint16_t> kVersionMadeBy{12};
inline constexpr Field<std::uint16_t> kVersionNeeded{14};
inline constexpr Field<std::uint32_t> kDisk{16};
inline constexpr Field<std::uint32_t> kDirectoryDisk{20};
inline constexpr Field<std::uint64_t> kEntriesOnDisk{24};
inline constexpr Field<std::uint64_t> kEntries{32};
inline constexpr Field<std::uint64_t> kDirectorySize{40};
inline constexpr Field<std::uint64_t> kDirectoryOffset{48};
}  // namespace end64

namespace locator64 {
inline constexpr std::uint32_t kSignature = 0x07064b50;
inline constexpr std::size_t kSize = 20;  // stands right before the end record
inline constexpr Field<std::uint32_t> kSignatureField{0};
inline constexpr Field<std::uint32_t> kDisk{4};
inline constexpr Field<std::uint64_t> kEnd64Offset{8};
inline constexpr Field<std::uint32_t> kDiskCount{16};
}  // namespace locator64

}  // namespace tessaly::analysis::zip
