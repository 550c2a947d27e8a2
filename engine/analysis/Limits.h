// Every cap the readers enforce, in one place: a document that needs more than this is treated as
// damaged rather than followed, so no input can make the analysis hang or exhaust memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly::analysis::limits {

inline constexpr std::size_t kMaxDocumentBytes = 256u * 1024 * 1024;
inline constexpr std::size_t kMaxDirectoryEntries = 1u << 16;
inline constexpr std::size_t kMaxDirectoryDepth = 64;
inline constexpr std::size_t kMaxDifatSectors = 1u << 16;
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
inline constexpr std::size_t kMaxNestedPackages = 2;

}  // namespace tessaly::analysis::limits
