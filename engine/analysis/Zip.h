// Reader of ZIP packages (OOXML and other ZIP containers) held in memory: central directory,
// local headers, stored and deflated entries, ZIP64, with limits against decompression bombs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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
    std::uint64_t dataOffset = 0;  // past the local header; 0 when that header could not be read
    [[nodiscard]] bool encrypted() const { return (flags & kFlagEncrypted) != 0; }
};

bool LooksLikeZip(Bytes data);
// The fields whose 32-bit value overflowed (kMax32) take their 64-bit values from the ZIP64 extra
// field in `extra`, in the order the format gives them.
void ApplyZip64Extra(Bytes extra, std::initializer_list<std::uint64_t*> fields);
// The raw (still compressed) bytes of an entry of `archive`, located through its local header.
std::optional<Bytes> EntryData(Bytes archive, const Entry& entry);

class Archive {
public:
    // Reads are charged to `budget` when one is given; it must outlive the archive.
    static std::optional<Archive> Open(Bytes data, std::string* error = nullptr, WorkBudget* budget = nullptr);

    [[nodiscard]] const std::vector<Entry>& entries() const { return m_entries; }
    // Part names compare without case, as OPC requires; the first of equal names is found.
    [[nodiscard]] std::optional<std::size_t> Find(std::string_view name) const;
    // Inflated contents with size and CRC checked; nullopt when broken or beyond the limits.
    [[nodiscard]] std::optional<ByteVec> Read(std::size_t index, std::string* error = nullptr) const;
    [[nodiscard]] std::optional<ByteVec> Read(std::string_view name) const;
    // The same checks without keeping the contents: inflated through a small buffer, so a member
    // of any size is checked in constant memory (charged to the budget as checked bytes).
    [[nodiscard]] bool Check(std::size_t index, std::string* error = nullptr) const;
    // Where the members disagree with the directory: a local header that names another part or
    // gives other sizes or another method, data outside the file, members that share bytes with
    // each other or with the directory. Empty for a sound package.
    [[nodiscard]] const std::vector<std::string>& damage() const { return m_damage; }

private:
    bool Load(std::string& error);
    void CheckMembers(std::uint64_t directoryOffset, std::uint64_t directorySize);
    // Why the member cannot be inflated at all, if it cannot; otherwise reading it is charged.
    [[nodiscard]] std::optional<std::string> RefuseBeforeInflating(const Entry& e) const;
    Bytes m_data;
    WorkBudget* m_budget = nullptr;
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::size_t> m_byLowerName;
    std::vector<std::string> m_damage;
    mutable std::uint64_t m_inflatedTotal = 0;
};

}  // namespace tessaly::analysis::zip
