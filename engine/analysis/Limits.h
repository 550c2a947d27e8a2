// Every cap the readers enforce, in one place: a document that needs more than this is treated as
// damaged rather than followed, so no input can make the analysis hang or exhaust memory. Caps on
// work grow with the document's real size (WorkBudget), never with what its fields claim.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly::analysis::limits {

// Office itself stops at 2 GB; the scan page sends documents up to 400 MiB.
inline constexpr std::uint64_t kMaxDocumentBytes = 2047ull * 1024 * 1024;
inline constexpr std::size_t kMaxDirectoryEntries = 1u << 16;
inline constexpr std::size_t kMaxDirectoryDepth = 64;
inline constexpr std::size_t kMaxDifatSectors = 1u << 16;
// Streams copied whole into memory (those a reader parses); larger ones are read in pieces.
inline constexpr std::size_t kMaxStreamBytes = 64u * 1024 * 1024;

inline constexpr std::size_t kMaxZipEntries = 1u << 14;
inline constexpr std::size_t kMaxZipEntryBytes = 64u * 1024 * 1024;
inline constexpr std::size_t kMaxZipTotalBytes = 256u * 1024 * 1024;
// Real documents compress text and XML at most a few hundred to one.
inline constexpr std::uint64_t kMaxZipRatio = 1000;

inline constexpr std::size_t kMaxVbaModules = 4096;
inline constexpr std::size_t kMaxDirRecords = 1u << 16;
inline constexpr std::size_t kMaxModuleSourceBytes = 16u * 1024 * 1024;
inline constexpr std::size_t kMaxBiffRecords = 1u << 22;
inline constexpr std::size_t kMaxOrphanProbes = 64;
// Macro text kept for matching, all modules together; real projects hold a few megabytes at most.
inline constexpr std::size_t kMaxCodeBytes = 16u << 20;

// The work budget of one scan or clean: a fixed allowance plus so much per byte of the document.
inline constexpr std::uint64_t kBudgetBaseRead = 64ull << 20;
inline constexpr std::uint64_t kBudgetReadPerByte = 8;
inline constexpr std::uint64_t kBudgetBaseDecompressed = 32ull << 20;
inline constexpr std::uint64_t kBudgetDecompressedPerByte = 4;
inline constexpr std::uint64_t kBudgetMaxDecompressed = 256ull << 20;
inline constexpr std::uint64_t kBudgetBaseSteps = 4ull << 20;
inline constexpr std::uint64_t kBudgetStepsPerByte = 1;
// Package members are inflated once more only to check them, through a small buffer: far more
// than any real document's XML, little enough that a small bomb is told in a fraction of a second.
inline constexpr std::uint64_t kBudgetBaseChecked = 128ull << 20;
inline constexpr std::uint64_t kBudgetCheckedPerByte = 128;
inline constexpr std::size_t kMaxNestedPackages = 2;

// Encryption descriptions. Agile: Office writes a spin count of 100,000; the format allows
// 10,000,000, which would cost seconds per document, and a clean derives the key several times. A
// description asking for more than this is left encrypted rather than spun for.
inline constexpr std::uint32_t kMaxSpinCount = 300000;
inline constexpr std::size_t kMaxEncryptionHeaderBytes = 4096;
inline constexpr std::size_t kMaxEncryptedSummaryEntries = 1024;
inline constexpr std::size_t kMaxDataSpaceMapEntries = 256;
inline constexpr std::size_t kMaxDataSpaceMapComponents = 64;

// Excel's own limit on a string of a binary workbook record.
inline constexpr std::uint32_t kMaxXlsbStringChars = 32767;

// PowerPoint: user edits followed back from the current one, and the storages of one presentation
// held in memory together.
inline constexpr std::size_t kMaxPresentationEdits = 4096;
inline constexpr std::size_t kMaxPresentationStorageBytes = 64u << 20;

}  // namespace tessaly::analysis::limits
