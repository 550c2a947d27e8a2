// Reader of OLE2 compound files (versions 3 and 4) held in memory: header, FAT, DIFAT, mini FAT,
// mini stream and the directory tree. Opening is strict; any inconsistency makes Open fail.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ByteReader.h"
#include "CfbFormat.h"
#include "Text.h"

namespace tessaly::analysis::cfb {

struct Entry {
    std::string name;  // UTF-8
    EntryType type = EntryType::kEmpty;
    std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    std::uint32_t startSector = 0;
    std::uint64_t size = 0;
    std::array<std::uint8_t, 16> clsid{};
    std::uint32_t stateBits = 0;
    std::array<std::uint8_t, 16> times{};
    std::uint32_t parent = kNoStream;     // index of the storage holding it (after the tree walk)
    std::vector<std::uint32_t> children;  // for storages, in tree order
};

bool IsCompoundFile(Bytes data);

class CompoundFile {
public:
    // Fails (with a reason) on anything a strict reader must not accept.
    static std::optional<CompoundFile> Open(Bytes data, std::string* error = nullptr);

    [[nodiscard]] const std::vector<Entry>& entries() const { return m_entries; }
    [[nodiscard]] const Entry& root() const { return m_entries[0]; }
    [[nodiscard]] std::uint16_t majorVersion() const { return m_major; }

    // Child of a storage by name, compared without case as the format does.
    [[nodiscard]] std::optional<std::uint32_t> Child(std::uint32_t storage, std::string_view name) const;
    // A path like "Macros/VBA/dir" from the root.
    [[nodiscard]] std::optional<std::uint32_t> Find(std::string_view path) const;
    // Stream contents; nullopt when the chain is broken.
    [[nodiscard]] std::optional<ByteVec> ReadStream(std::uint32_t index) const;
    [[nodiscard]] std::optional<ByteVec> ReadStream(std::string_view path) const;

private:
    bool Load(std::string& error);
    bool ReadHeader(std::string& error);
    bool LoadFat(std::string& error);
    bool LoadMiniStream(std::string& error);
    [[nodiscard]] Bytes Sector(std::uint32_t sector) const;  // short or empty past the end of the file
    [[nodiscard]] Entry DecodeEntry(Bytes raw) const;
    bool LoadDirectory(std::string& error);
    bool WalkTree(std::string& error);
    std::optional<std::vector<std::uint32_t>> Chain(std::uint32_t start, const std::vector<std::uint32_t>& fat,
                                                    std::size_t unitCount) const;
    std::optional<ByteVec> ReadRegular(std::uint32_t start, std::uint64_t size) const;

    Bytes m_data;
    std::uint16_t m_major = 3;
    std::size_t m_sectorSize = 512;
    std::uint32_t m_miniCutoff = 4096;
    std::size_t m_sectorCount = 0;
    std::uint32_t m_firstDirSector = 0, m_firstMiniFat = kEndOfChain, m_miniFatCount = 0;
    std::uint32_t m_fatCount = 0, m_firstDifat = kEndOfChain, m_difatCount = 0;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    ByteVec m_miniStream;
    std::vector<Entry> m_entries;
};

// Names compare without case, as the format does.
using analysis::EqualsNoCase;

}  // namespace tessaly::analysis::cfb
