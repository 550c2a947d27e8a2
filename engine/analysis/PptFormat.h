// On-disk layout of PowerPoint 97-2003 records, in the "PowerPoint Document" and "Current User"
// streams: the record header, the record types the analysis reads or rewrites and their fields, by
// name. Fields are counted from the start of their record, header included.
#pragma once

#include <cstdint>

#include "ByteReader.h"

namespace tessaly::analysis::ppt {

enum RecordType : std::uint16_t {
    kDocument = 0x03E8,
    kEndDocumentAtom = 0x03EA,
    kVbaInfo = 0x03FF,
    kVbaInfoAtom = 0x0400,
    kList = 0x07D0,
    kUserEditAtom = 0x0FF5,
    kCurrentUserAtom = 0x0FF6,
    kExternalOleObjectStg = 0x1011,
    kPersistDirectoryAtom = 0x1772,
    kCryptSession10Container = 0x2F14,
};

// Version (4 bits) and instance (12 bits) share the first word.
namespace header {
inline constexpr std::size_t kSize = 8;
inline constexpr Field<std::uint16_t> kVersionAndInstance{0};
inline constexpr Field<std::uint16_t> kType{2};
inline constexpr Field<std::uint32_t> kLength{4};  // of the body, after the header
inline constexpr std::uint16_t kVersionMask = 0x000F;
inline constexpr unsigned kInstanceShift = 4;
inline constexpr std::uint16_t kContainerVersion = 0xF;
}  // namespace header
inline constexpr std::size_t kHeaderSize = header::kSize;

namespace currentuser {
inline constexpr Field<std::uint32_t> kSize{8};
inline constexpr Field<std::uint32_t> kHeaderToken{12};  // tells whether the document is encrypted
inline constexpr Field<std::uint32_t> kCurrentEditOffset{16};
inline constexpr std::uint32_t kPlainHeaderToken = 0xE391C05F;
inline constexpr std::uint32_t kEncryptedHeaderToken = 0xF3D1C4DF;
}  // namespace currentuser

namespace useredit {
inline constexpr Field<std::uint32_t> kLastSlideIdRef{8};
inline constexpr Field<std::uint16_t> kVersion{12};
inline constexpr Field<std::uint8_t> kMinorVersion{14};
inline constexpr Field<std::uint8_t> kMajorVersion{15};
inline constexpr Field<std::uint32_t> kLastEditOffset{16};   // 0 for the first edit
inline constexpr Field<std::uint32_t> kDirectoryOffset{20};  // its PersistDirectoryAtom
inline constexpr Field<std::uint32_t> kDocPersistIdRef{24};
inline constexpr Field<std::uint32_t> kPersistIdSeed{28};
inline constexpr Field<std::uint16_t> kLastView{32};
// Present only in an atom long enough to hold it: the edit's crypt session.
inline constexpr Field<std::uint32_t> kEncryptSessionRef{36};
inline constexpr std::size_t kMinLength = 0x1C;  // of the body, without the session reference
}  // namespace useredit

// A persist directory atom is a run of entries: a word of first persist id (20 bits) and count
// (12 bits), then that many stream offsets.
namespace persistdir {
inline constexpr std::uint32_t kIdMask = 0xFFFFF;
inline constexpr unsigned kCountShift = 20;
inline constexpr std::uint32_t kMaxCount = 0xFFF;
}  // namespace persistdir

// The VBAInfoAtom, the only child of a VBAInfoContainer.
namespace vbainfo {
inline constexpr Field<std::uint32_t> kPersistIdRef{8};  // the project's storage; 0 names none
inline constexpr Field<std::uint32_t> kHasMacros{12};
inline constexpr Field<std::uint32_t> kVersion{16};
}  // namespace vbainfo

// ExOleObjStg: the storage as it is (instance 0) or zlib-compressed after its inflated size (1).
namespace oleobjstg {
inline constexpr std::uint16_t kCompressedInstance = 1;
inline constexpr Field<std::uint32_t> kDecompressedSize{8};
inline constexpr std::size_t kCompressedDataOffset = 12;
}  // namespace oleobjstg

}  // namespace tessaly::analysis::ppt
