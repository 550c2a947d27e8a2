// Strict compound file reader. Sector numbers are checked against the file, every chain has a
// visited set, and the directory walk has one too, so loops and cycles end as "damaged".
#include "Cfb.h"

#include <algorithm>
#include <cstring>

#include "Limits.h"

namespace tessaly::analysis::cfb {
namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderDifatCount = 109;
constexpr std::size_t kDirEntrySize = 128;

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Utf16NameToUtf8(Bytes raw, std::size_t byteLength) {
    std::string out;
    for (std::size_t i = 0; i + 1 < byteLength && i + 1 < raw.size(); i += 2) {
        std::uint32_t c = static_cast<std::uint32_t>(raw[i] | (raw[i + 1] << 8));
        if (c == 0) break;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool Fail(std::string& error, const char* reason) {
    error = reason;
    return false;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

bool IsCompoundFile(Bytes data) {
    return data.size() >= 512 && std::memcmp(data.data(), kSignature, sizeof kSignature) == 0;
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
    ByteReader r(m_data, 24);
    r.u16();  // minor version
    m_major = r.u16();
    const std::uint16_t byteOrder = r.u16();
    const std::uint16_t sectorShift = r.u16();
    const std::uint16_t miniShift = r.u16();
    if (byteOrder != 0xFFFE) return Fail(error, "bad byte order");
    if (!((m_major == 3 && sectorShift == 9) || (m_major == 4 && sectorShift == 12)))
        return Fail(error, "bad version or sector size");
    if (miniShift != 6) return Fail(error, "bad mini sector size");
    m_sectorSize = std::size_t{1} << sectorShift;
    r.skip(6);
    r.u32();  // directory sector count (zero in version 3)
    m_fatCount = r.u32();
    m_firstDirSector = r.u32();
    r.u32();  // transaction signature
    m_miniCutoff = r.u32();
    m_firstMiniFat = r.u32();
    m_miniFatCount = r.u32();
    m_firstDifat = r.u32();
    m_difatCount = r.u32();
    if (!r.ok() || m_miniCutoff != 4096) return Fail(error, "bad header");
    if (m_data.size() < m_sectorSize) return Fail(error, "truncated header");
    // A last sector cut short is accepted as Office does; reads past the end are not.
    m_sectorCount = (m_data.size() - m_sectorSize + m_sectorSize - 1) / m_sectorSize;
    if (m_fatCount == 0 || m_fatCount > m_sectorCount) return Fail(error, "bad FAT sector count");
    if (!LoadFat(error) || !LoadDirectory(error) || !WalkTree(error)) return false;

    // Mini FAT and mini stream.
    if (m_miniFatCount > m_sectorCount) return Fail(error, "bad mini FAT count");
    if (m_firstMiniFat != kEndOfChain && m_firstMiniFat != kFreeSector) {
        auto raw = ReadRegular(m_firstMiniFat, static_cast<std::uint64_t>(m_miniFatCount) * m_sectorSize);
        if (!raw) return Fail(error, "broken mini FAT chain");
        m_miniFat.resize(raw->size() / 4);
        for (std::size_t i = 0; i < m_miniFat.size(); ++i) m_miniFat[i] = ReadU32(*raw, i * 4);
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

bool CompoundFile::LoadFat(std::string& error) {
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(m_fatCount);
    for (std::size_t i = 0; i < kHeaderDifatCount && fatSectors.size() < m_fatCount; ++i)
        fatSectors.push_back(ReadU32(m_data, 76 + i * 4));
    std::vector<bool> seen(m_sectorCount, false);
    std::uint32_t next = m_firstDifat;
    std::size_t difatRead = 0;
    const std::size_t perSector = m_sectorSize / 4 - 1;
    while (fatSectors.size() < m_fatCount) {
        if (next >= m_sectorCount || seen[next] || ++difatRead > limits::kMaxDifatSectors)
            return Fail(error, "broken DIFAT chain");
        seen[next] = true;
        const std::size_t base = (static_cast<std::size_t>(next) + 1) * m_sectorSize;
        for (std::size_t i = 0; i < perSector && fatSectors.size() < m_fatCount; ++i)
            fatSectors.push_back(ReadU32(m_data, base + i * 4));
        next = ReadU32(m_data, base + perSector * 4);
    }
    m_fat.clear();
    m_fat.reserve(fatSectors.size() * (m_sectorSize / 4));
    for (std::uint32_t s : fatSectors) {
        if (s >= m_sectorCount) return Fail(error, "FAT sector out of range");
        const std::size_t base = (static_cast<std::size_t>(s) + 1) * m_sectorSize;
        for (std::size_t i = 0; i < m_sectorSize / 4; ++i) m_fat.push_back(ReadU32(m_data, base + i * 4));
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
        const std::size_t base = (static_cast<std::size_t>(s) + 1) * m_sectorSize;
        const std::size_t want = std::min<std::size_t>(m_sectorSize, static_cast<std::size_t>(size) - out.size());
        if (base + want > m_data.size()) return std::nullopt;
        out.insert(out.end(), m_data.begin() + static_cast<std::ptrdiff_t>(base),
                   m_data.begin() + static_cast<std::ptrdiff_t>(base + want));
    }
    return out;
}

bool CompoundFile::LoadDirectory(std::string& error) {
    auto chain = Chain(m_firstDirSector, m_fat, m_sectorCount);
    if (!chain || chain->empty()) return Fail(error, "broken directory chain");
    const std::size_t perSector = m_sectorSize / kDirEntrySize;
    if (chain->size() * perSector > limits::kMaxDirectoryEntries) return Fail(error, "too many directory entries");
    for (std::uint32_t s : *chain) {
        const std::size_t base = (static_cast<std::size_t>(s) + 1) * m_sectorSize;
        for (std::size_t i = 0; i < perSector; ++i) {
            const std::size_t at = base + i * kDirEntrySize;
            if (at + kDirEntrySize > m_data.size()) return Fail(error, "directory past end of file");
            Bytes raw = m_data.subspan(at, kDirEntrySize);
            Entry e;
            const std::uint16_t nameLength = ReadU16(raw, 64);
            e.name = Utf16NameToUtf8(raw, std::min<std::size_t>(nameLength, 64));
            e.type = static_cast<EntryType>(raw[66]);
            e.left = ReadU32(raw, 68);
            e.right = ReadU32(raw, 72);
            e.child = ReadU32(raw, 76);
            std::copy_n(raw.begin() + 80, 16, e.clsid.begin());
            e.stateBits = ReadU32(raw, 96);
            std::copy_n(raw.begin() + 100, 16, e.times.begin());
            e.startSector = ReadU32(raw, 116);
            e.size = ReadU32(raw, 120);
            // Version 3 files may carry garbage in the high half of the size.
            if (m_major == 4) e.size |= static_cast<std::uint64_t>(ReadU32(raw, 124)) << 32;
            m_entries.push_back(std::move(e));
        }
    }
    if (m_entries[0].type != EntryType::kRoot) return Fail(error, "no root entry");
    return true;
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
    auto chain = Chain(e.startSector, m_miniFat, m_miniStream.size() / m_miniSectorSize + 1);
    if (!chain || chain->size() * m_miniSectorSize < e.size) return std::nullopt;
    ByteVec out;
    for (std::uint32_t s : *chain) {
        if (out.size() >= e.size) break;
        const std::size_t base = static_cast<std::size_t>(s) * m_miniSectorSize;
        const std::size_t want = std::min<std::size_t>(m_miniSectorSize, static_cast<std::size_t>(e.size) - out.size());
        if (base + want > m_miniStream.size()) return std::nullopt;
        out.insert(out.end(), m_miniStream.begin() + static_cast<std::ptrdiff_t>(base),
                   m_miniStream.begin() + static_cast<std::ptrdiff_t>(base + want));
    }
    return out;
}

std::optional<ByteVec> CompoundFile::ReadStream(std::string_view path) const {
    auto index = Find(path);
    if (!index) return std::nullopt;
    return ReadStream(*index);
}

}  // namespace tessaly::analysis::cfb
