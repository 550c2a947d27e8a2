// Strict compound file reader. Sector numbers are checked against the file, every chain has a
// visited set, and the directory walk has one too, so loops and cycles end as "damaged".
#include "Cfb.h"

#include <algorithm>
#include <cstring>

#include "Limits.h"

namespace tessaly::analysis::cfb {
namespace {

// The name is the UTF-16 text before the terminator, within the length the entry gives.
std::string EntryName(Bytes raw, std::uint16_t nameLength) {
    const std::size_t limit = std::min<std::size_t>(nameLength, direntry::kNameBytes);
    std::size_t units = 0;
    while (units * 2 + 1 < limit && (raw[units * 2] | raw[units * 2 + 1]) != 0) ++units;
    return Utf16LeToUtf8(raw.subspan(direntry::kNameOffset, units * 2));
}

// The sector numbers a FAT, mini FAT or DIFAT sector holds, in order.
std::vector<std::uint32_t> SectorNumbers(Bytes raw) {
    std::vector<std::uint32_t> out(raw.size() / 4);
    ByteReader r(raw);
    for (std::uint32_t& n : out) n = r.u32();
    return out;
}

bool Fail(std::string& error, const char* reason) {
    error = reason;
    return false;
}

}  // namespace

bool IsCompoundFile(Bytes data) {
    return data.size() >= header::kSize && std::memcmp(data.data(), kSignature, sizeof kSignature) == 0;
}

std::optional<CompoundFile> CompoundFile::Open(Bytes data, std::string* error) {
    CompoundFile file;
    file.m_data = data;
    std::string reason;
    if (!file.Load(reason)) {
        if (error) *error = reason;
        return std::nullopt;
    }
    return file;
}

bool CompoundFile::Load(std::string& error) {
    if (!IsCompoundFile(m_data)) return Fail(error, "not a compound file");
    if (m_data.size() > limits::kMaxDocumentBytes) return Fail(error, "file too large");
    if (!ReadHeader(error)) return false;
    if (!LoadFat(error) || !LoadDirectory(error) || !WalkTree(error)) return false;
    return LoadMiniStream(error);
}

bool CompoundFile::ReadHeader(std::string& error) {
    ByteReader r(m_data);
    m_major = r.get(header::kMajorVersion);
    const std::uint16_t byteOrder = r.get(header::kByteOrder);
    const std::uint16_t sectorShift = r.get(header::kSectorShift);
    const std::uint16_t miniShift = r.get(header::kMiniSectorShift);
    if (byteOrder != kByteOrderMark) return Fail(error, "bad byte order");
    if (!((m_major == 3 && sectorShift == kSectorShiftV3) || (m_major == 4 && sectorShift == kSectorShiftV4)))
        return Fail(error, "bad version or sector size");
    if (miniShift != kMiniSectorShift) return Fail(error, "bad mini sector size");
    m_sectorSize = std::size_t{1} << sectorShift;
    m_fatCount = r.get(header::kFatSectorCount);
    m_firstDirSector = r.get(header::kFirstDirectorySector);
    m_miniCutoff = r.get(header::kMiniStreamCutoff);
    m_firstMiniFat = r.get(header::kFirstMiniFatSector);
    m_miniFatCount = r.get(header::kMiniFatSectorCount);
    m_firstDifat = r.get(header::kFirstDifatSector);
    m_difatCount = r.get(header::kDifatSectorCount);
    if (!r.ok() || m_miniCutoff != kMiniStreamCutoff) return Fail(error, "bad header");
    if (m_data.size() < m_sectorSize) return Fail(error, "truncated header");
    // A last sector cut short is accepted as Office does; reads past the end are not.
    m_sectorCount = (m_data.size() - m_sectorSize + m_sectorSize - 1) / m_sectorSize;
    if (m_fatCount == 0 || m_fatCount > m_sectorCount) return Fail(error, "bad FAT sector count");
    return true;
}

Bytes CompoundFile::Sector(std::uint32_t sector) const {
    const std::uint64_t at = SectorOffset(sector, m_sectorSize);
    if (sector >= m_sectorCount || at >= m_data.size()) return {};
    return m_data.subspan(static_cast<std::size_t>(at), std::min<std::size_t>(m_sectorSize, m_data.size() - at));
}

bool CompoundFile::LoadFat(std::string& error) {
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(m_fatCount);
    ByteReader headerReader(m_data);
    for (std::size_t i = 0; i < header::kDifatEntries && fatSectors.size() < m_fatCount; ++i)
        fatSectors.push_back(headerReader.get(header::Difat(i)));
    std::vector<bool> seen(m_sectorCount, false);
    std::uint32_t next = m_firstDifat;
    std::size_t difatRead = 0;
    while (fatSectors.size() < m_fatCount) {
        if (next >= m_sectorCount || seen[next] || ++difatRead > limits::kMaxDifatSectors)
            return Fail(error, "broken DIFAT chain");
        seen[next] = true;
        const std::vector<std::uint32_t> listed = SectorNumbers(Sector(next));
        if (listed.size() != FatEntriesPerSector(m_sectorSize)) return Fail(error, "broken DIFAT chain");
        for (std::size_t i = 0; i + 1 < listed.size() && fatSectors.size() < m_fatCount; ++i) fatSectors.push_back(listed[i]);
        next = listed.back();
    }
    m_fat.clear();
    m_fat.reserve(fatSectors.size() * FatEntriesPerSector(m_sectorSize));
    for (std::uint32_t s : fatSectors) {
        if (s >= m_sectorCount) return Fail(error, "FAT sector out of range");
        std::vector<std::uint32_t> entries = SectorNumbers(Sector(s));
        // A FAT sector cut short by the end of the file reads as free entries.
        entries.resize(FatEntriesPerSector(m_sectorSize), kFreeSector);
        m_fat.insert(m_fat.end(), entries.begin(), entries.end());
    }
    return true;
}

std::optional<std::vector<std::uint32_t>> CompoundFile::Chain(std::uint32_t start,
                                                              const std::vector<std::uint32_t>& fat,
                                                              std::size_t unitCount) const {
    std::vector<std::uint32_t> chain;
    std::vector<bool> seen(std::min(fat.size(), unitCount), false);
    std::uint32_t s = start;
    while (s != kEndOfChain) {
        if (s >= seen.size() || seen[s]) return std::nullopt;
        seen[s] = true;
        chain.push_back(s);
        s = fat[s];
    }
    return chain;
}

std::optional<ByteVec> CompoundFile::ReadRegular(std::uint32_t start, std::uint64_t size) const {
    if (size > m_data.size()) return std::nullopt;
    auto chain = Chain(start, m_fat, m_sectorCount);
    if (!chain || static_cast<std::uint64_t>(chain->size()) * m_sectorSize < size) return std::nullopt;
    ByteVec out;
    out.reserve(static_cast<std::size_t>(size));
    for (std::uint32_t s : *chain) {
        if (out.size() >= size) break;
        const std::size_t want = std::min<std::size_t>(m_sectorSize, static_cast<std::size_t>(size) - out.size());
        const Bytes sector = Sector(s);
        if (sector.size() < want) return std::nullopt;
        PutBytes(out, sector.first(want));
    }
    return out;
}

bool CompoundFile::LoadDirectory(std::string& error) {
    auto chain = Chain(m_firstDirSector, m_fat, m_sectorCount);
    if (!chain || chain->empty()) return Fail(error, "broken directory chain");
    const std::size_t perSector = m_sectorSize / direntry::kSize;
    if (chain->size() * perSector > limits::kMaxDirectoryEntries) return Fail(error, "too many directory entries");
    for (std::uint32_t s : *chain) {
        const Bytes sector = Sector(s);
        for (std::size_t i = 0; i < perSector; ++i) {
            if ((i + 1) * direntry::kSize > sector.size()) return Fail(error, "directory past end of file");
            m_entries.push_back(DecodeEntry(sector.subspan(i * direntry::kSize, direntry::kSize)));
        }
    }
    if (m_entries[0].type != EntryType::kRoot) return Fail(error, "no root entry");
    return true;
}

Entry CompoundFile::DecodeEntry(Bytes raw) const {
    ByteReader r(raw);
    Entry e;
    e.name = EntryName(raw, r.get(direntry::kNameLength));
    e.type = static_cast<EntryType>(r.get(direntry::kType));
    e.left = r.get(direntry::kLeftSibling);
    e.right = r.get(direntry::kRightSibling);
    e.child = r.get(direntry::kChild);
    std::copy_n(raw.begin() + direntry::kClsidOffset, e.clsid.size(), e.clsid.begin());
    e.stateBits = r.get(direntry::kStateBits);
    std::copy_n(raw.begin() + direntry::kTimesOffset, e.times.size(), e.times.begin());
    e.startSector = r.get(direntry::kStartSector);
    e.size = r.get(direntry::kSizeLow);
    // Version 3 files may carry garbage in the high half of the size.
    if (m_major == 4) e.size |= static_cast<std::uint64_t>(r.get(direntry::kSizeHigh)) << 32;
    return e;
}

bool CompoundFile::WalkTree(std::string& error) {
    std::vector<bool> visited(m_entries.size(), false);
    visited[0] = true;
    std::vector<std::pair<std::uint32_t, std::size_t>> storages{{0u, 0u}};
    while (!storages.empty()) {
        auto [storage, depth] = storages.back();
        storages.pop_back();
        if (depth > limits::kMaxDirectoryDepth) return Fail(error, "storages nested too deep");
        // In-order walk of the sibling tree, with an explicit stack so a degenerate tree cannot
        // exhaust the call stack.
        std::vector<std::uint32_t> stack;
        std::uint32_t node = m_entries[storage].child;
        auto push = [&](std::uint32_t n) -> bool {
            if (n == kNoStream) return true;
            if (n >= m_entries.size() || visited[n]) return false;
            visited[n] = true;
            stack.push_back(n);
            return true;
        };
        while (node != kNoStream || !stack.empty()) {
            while (node != kNoStream) {
                if (!push(node)) return Fail(error, "directory tree cycle or bad index");
                node = m_entries[node].left;
            }
            const std::uint32_t current = stack.back();
            stack.pop_back();
            Entry& e = m_entries[current];
            if (e.type != EntryType::kStorage && e.type != EntryType::kStream)
                return Fail(error, "bad directory entry type");
            e.parent = storage;
            m_entries[storage].children.push_back(current);
            if (e.type == EntryType::kStorage) storages.push_back({current, depth + 1});
            else if (e.size > m_data.size()) return Fail(error, "stream larger than file");
            node = e.right;
        }
    }
    return true;
}

bool CompoundFile::LoadMiniStream(std::string& error) {
    if (m_miniFatCount > m_sectorCount) return Fail(error, "bad mini FAT count");
    if (m_firstMiniFat != kEndOfChain && m_firstMiniFat != kFreeSector) {
        auto raw = ReadRegular(m_firstMiniFat, static_cast<std::uint64_t>(m_miniFatCount) * m_sectorSize);
        if (!raw) return Fail(error, "broken mini FAT chain");
        m_miniFat = SectorNumbers(*raw);
    }
    const Entry& rootEntry = m_entries[0];
    if (rootEntry.size > 0) {
        if (rootEntry.size > m_data.size()) return Fail(error, "mini stream larger than file");
        auto mini = ReadRegular(rootEntry.startSector, rootEntry.size);
        if (!mini) return Fail(error, "broken mini stream chain");
        m_miniStream = std::move(*mini);
    }
    return true;
}

std::optional<std::uint32_t> CompoundFile::Child(std::uint32_t storage, std::string_view name) const {
    if (storage >= m_entries.size()) return std::nullopt;
    for (std::uint32_t c : m_entries[storage].children)
        if (EqualsNoCase(m_entries[c].name, name)) return c;
    return std::nullopt;
}

std::optional<std::uint32_t> CompoundFile::Find(std::string_view path) const {
    std::uint32_t at = 0;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        auto next = Child(at, path.substr(0, slash));
        if (!next) return std::nullopt;
        at = *next;
        path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    }
    return at;
}

std::optional<ByteVec> CompoundFile::ReadStream(std::uint32_t index) const {
    if (index >= m_entries.size() || m_entries[index].type != EntryType::kStream) return std::nullopt;
    const Entry& e = m_entries[index];
    if (e.size > limits::kMaxStreamBytes) return std::nullopt;
    if (e.size >= m_miniCutoff) return ReadRegular(e.startSector, e.size);
    if (e.size == 0) return ByteVec{};
    auto chain = Chain(e.startSector, m_miniFat, m_miniStream.size() / kMiniSectorSize + 1);
    if (!chain || chain->size() * kMiniSectorSize < e.size) return std::nullopt;
    ByteVec out;
    for (std::uint32_t s : *chain) {
        if (out.size() >= e.size) break;
        const std::size_t base = static_cast<std::size_t>(s) * kMiniSectorSize;
        const std::size_t want = std::min<std::size_t>(kMiniSectorSize, static_cast<std::size_t>(e.size) - out.size());
        if (base + want > m_miniStream.size()) return std::nullopt;
        PutBytes(out, Bytes(m_miniStream).subspan(base, want));
    }
    return out;
}

std::optional<ByteVec> CompoundFile::ReadStream(std::string_view path) const {
    auto index = Find(path);
    if (!index) return std::nullopt;
    return ReadStream(*index);
}

}  // namespace tessaly::analysis::cfb
