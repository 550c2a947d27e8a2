// Reader of OLE2 compound files (versions 3 and 4) held in memory or a mapped view: header, FAT,
// DIFAT, mini FAT, mini stream and the directory tree. The reader reads what can be read soundly:
// fields Office tolerates out of range are repaired, real damage (loops, cycles, broken chains)
// is recorded and read around, and only a file without a usable directory fails to open.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Budget.h"
#include "ByteReader.h"
#include "ByteSource.h"
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
    bool reachable = false;               // reached from the root (detached subtrees are not)
};

bool IsCompoundFile(Bytes data);

class CompoundFile;

// The sectors of one chain, as far as it could be followed.
struct ChainInfo {
    std::vector<std::uint32_t> sectors;
    bool ended = false;  // reached the end-of-chain mark (not a loop, a free or an out-of-range sector)
};

// A stream's bytes where they lie in the file. Covers the part of the stream its chain reaches;
// complete() tells whether that is the whole declared size.
class StreamView final : public ByteSource {
public:
    [[nodiscard]] std::uint64_t size() const override { return m_readable; }
    [[nodiscard]] std::uint64_t declaredSize() const { return m_declared; }
    [[nodiscard]] bool complete() const { return m_readable == m_declared; }
    Bytes View(std::uint64_t offset, std::size_t n, ByteVec& scratch) const override;
    bool ForEachPiece(const std::function<bool(Bytes)>& visit) const override;

private:
    friend class CompoundFile;
    // Where byte `offset` of the stream lies in the file, and how many bytes follow it there
    // contiguously within the stream.
    [[nodiscard]] std::pair<std::uint64_t, std::uint64_t> Locate(std::uint64_t offset) const;

    const CompoundFile* m_file = nullptr;
    std::shared_ptr<const ChainInfo> m_chain;
    bool m_mini = false;
    std::uint64_t m_declared = 0, m_readable = 0;
};

class CompoundFile {
public:
    // Fails (with a reason) only when no directory with a root entry can be read. Reads are
    // charged to `budget` when one is given; it must outlive the file.
    static std::optional<CompoundFile> Open(Bytes data, std::string* error = nullptr, WorkBudget* budget = nullptr);

    [[nodiscard]] const std::vector<Entry>& entries() const { return m_entries; }
    [[nodiscard]] const Entry& root() const { return m_entries[0]; }
    [[nodiscard]] std::uint16_t majorVersion() const { return m_major; }
    [[nodiscard]] std::size_t sectorSize() const { return m_sectorSize; }
    [[nodiscard]] Bytes data() const { return m_data; }
    // What the file's reads are charged to; null when unlimited. Work done on its behalf (reading
    // what its streams embed) goes on the same budget.
    [[nodiscard]] WorkBudget* budget() const { return m_budget; }
    // Damage read around (loops, cycles, lost entries); empty for a sound file.
    [[nodiscard]] const std::vector<std::string>& damage() const { return m_damage; }
    // Out-of-range fields repaired the way Office reads them; no damage.
    [[nodiscard]] const std::vector<std::string>& repairs() const { return m_repairs; }

    // Child of a storage by name, compared without case as the format does.
    [[nodiscard]] std::optional<std::uint32_t> Child(std::uint32_t storage, std::string_view name) const;
    // A path like "Macros/VBA/dir" from the root.
    [[nodiscard]] std::optional<std::uint32_t> Find(std::string_view path) const;
    // Whole stream contents, copied; nullopt when the chain is broken, the budget is spent or the
    // stream is too large to copy (read those through OpenStream).
    [[nodiscard]] std::optional<ByteVec> ReadStream(std::uint32_t index) const;
    [[nodiscard]] std::optional<ByteVec> ReadStream(std::string_view path) const;
    // The stream where it lies; nullopt for an entry that is no stream or when the budget is spent.
    [[nodiscard]] std::optional<StreamView> OpenStream(std::uint32_t index) const;
    // Whether the stream's chain covers its declared size (nothing is read).
    [[nodiscard]] bool StreamIntact(std::uint32_t index) const;
    // Whether two streams reached from the root (or one and the mini stream) claim the same sector.
    [[nodiscard]] bool StreamsShareSectors() const;
    // Storages not reached from the root whose subtrees still read (what a crafted file might hide).
    [[nodiscard]] std::vector<std::uint32_t> DetachedStorages() const;

private:
    friend class StreamView;
    struct ChainKey {
        std::uint32_t start;
        bool mini;
        bool operator<(const ChainKey& o) const { return start != o.start ? start < o.start : mini < o.mini; }
    };

    bool Load(std::string& error);
    bool ReadHeader(std::string& error);
    void LoadFat();
    std::vector<std::uint32_t> FatSectorNumbers();
    bool LoadDirectory(std::string& error);
    void WalkTree();
    void WalkStorage(std::uint32_t top, std::vector<bool>& visited, bool reachable);
    void WalkSiblings(std::uint32_t storage, std::vector<bool>& visited, bool reachable,
                      std::vector<std::pair<std::uint32_t, std::size_t>>& storages, std::size_t depth);
    void LoadMiniStream();
    [[nodiscard]] Bytes Sector(std::uint32_t sector) const;  // short or empty past the end of the file
    [[nodiscard]] Entry DecodeEntry(Bytes raw) const;
    // The sectors of a chain until it ends, loops or leaves the table; cached per start, so
    // entries that share a chain cost one walk. Null when the budget is spent.
    [[nodiscard]] std::shared_ptr<const ChainInfo> Chain(std::uint32_t start, bool mini) const;
    [[nodiscard]] std::uint64_t ReadableBytes(const ChainInfo& chain, std::uint64_t declared, bool mini) const;
    [[nodiscard]] StreamView ViewOf(std::uint32_t start, std::uint64_t size, bool mini) const;
    void Damage(std::string what);
    void Repair(std::string what);
    bool Charge(std::uint64_t readBytes, std::uint64_t steps) const;

    Bytes m_data;
    WorkBudget* m_budget = nullptr;
    std::uint16_t m_major = 3;
    std::size_t m_sectorSize = 512;
    std::size_t m_sectorCount = 0;
    std::uint32_t m_firstDirSector = 0, m_firstMiniFat = kEndOfChain, m_miniFatCount = 0;
    std::uint32_t m_fatCount = 0, m_firstDifat = kEndOfChain, m_difatCount = 0;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::shared_ptr<const ChainInfo> m_miniChain;  // the root entry's stream holds the mini stream
    std::uint64_t m_miniReadable = 0;
    std::vector<Entry> m_entries;
    std::vector<std::string> m_damage, m_repairs;
    mutable std::map<ChainKey, std::shared_ptr<const ChainInfo>> m_chains;
    mutable std::uint64_t m_cachedUnits = 0;
    // Visit marks of the chain walks: a sector is visited in this walk when its mark is the walk's number.
    mutable std::vector<std::uint32_t> m_marks, m_miniMarks;
    mutable std::uint32_t m_walk = 0;
};

// Names compare without case, as the format does.
using analysis::EqualsNoCase;

}  // namespace tessaly::analysis::cfb
