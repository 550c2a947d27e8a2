// On-disk layout of OLE2 compound files (MS-CFB): the header and directory entry fields by name,
// the special sector numbers and the entry types. The reader, the writer and the test fixtures
// that damage files on purpose all use these names.
#pragma once

#include <cstdint>

#include "ByteReader.h"

namespace tessaly::analysis::cfb {

inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;

enum class EntryType : std::uint8_t { kEmpty = 0, kStorage = 1, kStream = 2, kRoot = 5 };

inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr std::uint16_t kMinorVersion = 0x003E;
inline constexpr std::uint16_t kSectorShiftV3 = 9;   // 512-byte sectors
inline constexpr std::uint16_t kSectorShiftV4 = 12;  // 4096-byte sectors
inline constexpr std::uint16_t kMiniSectorShift = 6;
inline constexpr std::size_t kMiniSectorSize = std::size_t{1} << kMiniSectorShift;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;

namespace header {
inline constexpr std::size_t kSize = 512;  // version 4 pads the rest of its first sector with zeros
inline constexpr std::size_t kSignatureOffset = 0;
inline constexpr Field<std::uint16_t> kMinorVersion{24};
inline constexpr Field<std::uint16_t> kMajorVersion{26};
inline constexpr Field<std::uint16_t> kByteOrder{28};
inline constexpr Field<std::uint16_t> kSectorShift{30};
inline constexpr Field<std::uint16_t> kMiniSectorShift{32};
inline constexpr Field<std::uint32_t> kDirectorySectorCount{40};  // zero in version 3
inline constexpr Field<std::uint32_t> kFatSectorCount{44};
inline constexpr Field<std::uint32_t> kFirstDirectorySector{48};
inline constexpr Field<std::uint32_t> kTransactionSignature{52};
inline constexpr Field<std::uint32_t> kMiniStreamCutoff{56};
inline constexpr Field<std::uint32_t> kFirstMiniFatSector{60};
inline constexpr Field<std::uint32_t> kMiniFatSectorCount{64};
inline constexpr Field<std::uint32_t> kFirstDifatSector{68};
inline constexpr Field<std::uint32_t> kDifatSectorCount{72};
inline constexpr std::size_t kDifatOffset = 76;  // the first FAT sector numbers, 109 of them
inline constexpr std::size_t kDifatEntries = 109;
constexpr Field<std::uint32_t> Difat(std::size_t i) { return {kDifatOffset + i * 4}; }
}  // namespace header

namespace direntry {
inline constexpr std::size_t kSize = 128;
inline constexpr std::size_t kNameOffset = 0;  // UTF-16, NUL-terminated, 32 units at the most
inline constexpr std::size_t kNameBytes = 64;
inline constexpr std::size_t kMaxNameUnits = 31;
inline constexpr Field<std::uint16_t> kNameLength{64};  // bytes, terminator included
inline constexpr Field<std::uint8_t> kType{66};
inline constexpr Field<std::uint8_t> kColour{67};
inline constexpr Field<std::uint32_t> kLeftSibling{68};
inline constexpr Field<std::uint32_t> kRightSibling{72};
inline constexpr Field<std::uint32_t> kChild{76};
inline constexpr std::size_t kClsidOffset = 80;
inline constexpr Field<std::uint32_t> kStateBits{96};
inline constexpr std::size_t kTimesOffset = 100;  // creation and modification time, 8 bytes each
inline constexpr Field<std::uint32_t> kStartSector{116};
inline constexpr Field<std::uint32_t> kSizeLow{120};
inline constexpr Field<std::uint32_t> kSizeHigh{124};  // version 4 only; version 3 files may hold garbage here
inline constexpr std::uint8_t kBlack = 1;
}  // namespace direntry

// FAT sectors list next-sector numbers; a DIFAT sector lists FAT sectors and ends with the next one.
constexpr std::size_t FatEntriesPerSector(std::size_t sectorSize) { return sectorSize / 4; }
constexpr std::size_t DifatEntriesPerSector(std::size_t sectorSize) { return sectorSize / 4 - 1; }
// Sector n starts after the header sector.
constexpr std::uint64_t SectorOffset(std::uint64_t sector, std::size_t sectorSize) { return (sector + 1) * sectorSize; }

}  // namespace tessaly::analysis::cfb
