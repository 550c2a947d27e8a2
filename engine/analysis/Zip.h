// Reader of ZIP packages (OOXML and other ZIP containers) held in memory: central directory,
// local headers, stored and deflated entries, ZIP64, with limits against decompression bombs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Budget.h"
#include "ByteReader.h"
#include "ZipFormat.h"

namespace tessaly::analysis::zip {

struct Entry {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t modTime = 0, modDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localOffset = 0;
    [[nodiscard]] bool encrypted() const { return (flags & kFlagEncrypted) != 0; }
};

bool LooksLikeZip(Bytes data);
// The raw (still compressed) bytes of an entry, located through its local header.
std::optional<Bytes> EntryData(Bytes archive, const Entry& entry);

class Archive {
public:
    // Reads are charged to `budget` when one is given; it must outlive the archive.
    static std::optional<Archive> Open(Bytes data, std::string* error = nullptr, WorkBudget* budget = nullptr);

    [[nodiscard]] const std::vector<Entry>& entries() const { return m_entries; }
    // Part names compare without case, as OPC requires.
    [[nodiscard]] std::optional<std::size_t> Find(std::string_view name) const;
    // Inflated contents with size and CRC checked; nullopt when broken or beyond the limits.
    [[nodiscard]] std::optional<ByteVec> Read(std::size_t index, std::string* error = nullptr) const;
    [[nodiscard]] std::optional<ByteVec> Read(std::string_view name) const;

private:
    bool Load(std::string& error);
    Bytes m_data;
    WorkBudget* m_budget = nullptr;
    std::vector<Entry> m_entries;
    mutable std::uint64_t m_inflatedTotal = 0;
};

}  // namespace tessaly::analysis::zip
