// Compound file reader. Sector numbers are checked against the file, every chain walk has a
// visited mark per sector, the directory walk has a visited set, and every read is charged to the
// work budget, so loops, cycles and shared chains end in a recorded fault, never in a hang. What
// Office tolerates (sibling indexes past the directory's end or at unallocated entries, sector
// counts that overshoot) is repaired; what it does not is recorded as damage and read around.
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

std::uint64_t UnitsFor(std::uint64_t bytes, std::uint64_t unit) { return (bytes + unit - 1) / unit; }

}  // namespace

bool IsCompoundFile(Bytes data) {
    return data.size() >= header::kSize && std::memcmp(data.data(), kSignature, sizeof kSignature) == 0;
}

// ---- StreamView ----

std::pair<std::uint64_t, std::uint64_t> StreamView::Locate(std::uint64_t offset) const {
    const std::uint64_t unit = m_mini ? kMiniSectorSize : m_file->m_sectorSize;
    const std::uint32_t sector = m_chain->sectors[static_cast<std::size_t>(offset / unit)];
    const std::uint64_t within = offset % unit;
    const std::uint64_t left = std::min(unit - within, m_readable - offset);
    if (!m_mini) return {SectorOffset(sector, m_file->m_sectorSize) + within, left};
    // A mini sector lies inside one sector of the mini stream, which is itself a chain.
    const std::uint64_t miniOffset = static_cast<std::uint64_t>(sector) * kMiniSectorSize + within;
    const std::size_t sectorSize = m_file->m_sectorSize;
    const std::uint32_t host = m_file->m_miniChain->sectors[static_cast<std::size_t>(miniOffset / sectorSize)];
    return {SectorOffset(host, sectorSize) + miniOffset % sectorSize, left};
}

bool StreamView::ForEachPiece(const std::function<bool(Bytes)>& visit) const {
    std::uint64_t offset = 0;
    while (offset < m_readable) {
        auto [at, length] = Locate(offset);
        // Consecutive units that lie one after the other in the file make one piece.
        while (offset + length < m_readable) {
            auto [nextAt, nextLength] = Locate(offset + length);
            if (nextAt != at + length) break;
            length += nextLength;
        }
        if (!m_file->Charge(length, 1)) return false;
        if (!visit(m_file->m_data.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(length)))) return false;
        offset += length;
    }
    return true;
}

Bytes StreamView::View(std::uint64_t offset, std::size_t n, ByteVec& scratch) const {
    if (offset >= m_readable) return {};
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, m_readable - offset));
    if (!m_file->Charge(n, 1)) return {};
    auto [at, length] = Locate(offset);
    if (length >= n) return m_file->m_data.subspan(static_cast<std::size_t>(at), n);
    scratch.clear();
    while (scratch.size() < n) {
        auto [pieceAt, pieceLength] = Locate(offset + scratch.size());
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(pieceLength, n - scratch.size()));
        PutBytes(scratch, m_file->m_data.subspan(static_cast<std::size_t>(pieceAt), take));
    }
    return scratch;
}

// ---- Loading ----

std::optional<CompoundFile> CompoundFile::Open(Bytes data, std::string* error, WorkBudget* budget) {
    CompoundFile file;
    file.m_data = data;
    file.m_budget = budget;
    std::string reason;
    if (!file.Load(reason)) {
        if (error) *error = reason;
        return std::nullopt;
    }
    return file;
}

void CompoundFile::Damage(std::string what) {
    if (m_damage.size() < 16) m_damage.push_back(std::move(what));
}

void CompoundFile::Repair(std::string what) {
    if (m_repairs.size() < 16) m_repairs.push_back(std::move(what));
}

bool CompoundFile::Charge(std::uint64_t readBytes, std::uint64_t steps) const {
    return !m_budget || (m_budget->ChargeRead(readBytes) && m_budget->ChargeSteps(steps));
}

bool CompoundFile::Load(std::string& error) {
    if (!IsCompoundFile(m_data)) return Fail(error, "not a compound file");
    if (m_data.size() > limits::kMaxDocumentBytes) return Fail(error, "file too large");
    if (!ReadHeader(error)) return false;
    LoadFat();
    if (!LoadDirectory(error)) return false;
    WalkTree();
    LoadMiniStream();
    if (m_budget && m_budget->exhausted()) return Fail(error, "too much work to read the file");
    return true;
}

bool CompoundFile::ReadHeader(std::string& error) {
    ByteReader r(m_data);
    m_major = r.get(header::kMajorVersion);
    const std::uint16_t sectorShift = r.get(header::kSectorShift);
    const std::uint16_t miniShift = r.get(header::kMiniSectorShift);
    if (sectorShift != kSectorShiftV3 && sectorShift != kSectorShiftV4) return Fail(error, "bad sector size");
    if (miniShift != kMiniSectorShift) return Fail(error, "bad mini sector size");
    if ((m_major == 3) != (sectorShift == kSectorShiftV3)) Repair("version does not match the sector size");
    if (r.get(header::kByteOrder) != kByteOrderMark) Repair("bad byte order mark");
    m_sectorSize = std::size_t{1} << sectorShift;
    m_fatCount = r.get(header::kFatSectorCount);
    m_firstDirSector = r.get(header::kFirstDirectorySector);
    if (r.get(header::kMiniStreamCutoff) != kMiniStreamCutoff) Repair("bad mini stream cutoff");
    m_firstMiniFat = r.get(header::kFirstMiniFatSector);
    m_miniFatCount = r.get(header::kMiniFatSectorCount);
    m_firstDifat = r.get(header::kFirstDifatSector);
    m_difatCount = r.get(header::kDifatSectorCount);
    if (!r.ok() || m_data.size() <= m_sectorSize) return Fail(error, "truncated header");
    // A last sector cut short is accepted as Office does; reads past the end are not.
    m_sectorCount = UnitsFor(m_data.size() - m_sectorSize, m_sectorSize);
    m_marks.assign(m_sectorCount, 0);
    return true;
}

Bytes CompoundFile::Sector(std::uint32_t sector) const {
    const std::uint64_t at = SectorOffset(sector, m_sectorSize);
    if (sector >= m_sectorCount || at >= m_data.size()) return {};
    return m_data.subspan(static_cast<std::size_t>(at), std::min<std::size_t>(m_sectorSize, m_data.size() - at));
}

// The FAT sectors the header and the DIFAT chain list. No more are taken than the file needs, and
// a count that overshoots what the DIFAT lists ends at the first unused slot, as Office reads it.
std::vector<std::uint32_t> CompoundFile::FatSectorNumbers() {
    const std::size_t needed = UnitsFor(m_sectorCount, FatEntriesPerSector(m_sectorSize));
    if (m_fatCount > needed) Repair("FAT sector count overshoots the file");
    const std::size_t wanted = std::min<std::size_t>(m_fatCount, needed);
    std::vector<std::uint32_t> listed;
    ByteReader headerReader(m_data);
    for (std::size_t i = 0; i < header::kDifatEntries && listed.size() < wanted; ++i)
        listed.push_back(headerReader.get(header::Difat(i)));
    const std::uint32_t walk = ++m_walk;
    std::uint32_t next = m_firstDifat;
    for (std::size_t read = 0; listed.size() < wanted; ++read) {
        if (next >= m_sectorCount || m_marks[next] == walk || read >= limits::kMaxDifatSectors) break;
        m_marks[next] = walk;
        const std::vector<std::uint32_t> numbers = SectorNumbers(Sector(next));
        if (numbers.size() != FatEntriesPerSector(m_sectorSize)) break;
        for (std::size_t i = 0; i + 1 < numbers.size() && listed.size() < wanted; ++i) listed.push_back(numbers[i]);
        next = numbers.back();
    }
    // An overshooting count is followed by unused slots; anything else missing is damage.
    const auto used = std::find_if(listed.begin(), listed.end(), [&](std::uint32_t s) { return s >= m_sectorCount; });
    if (std::any_of(used, listed.end(), [&](std::uint32_t s) { return s < m_sectorCount; }))
        Damage("FAT sector out of range");
    else if (used != listed.end() || listed.size() < wanted)
        Repair("FAT sector count overshoots the DIFAT");
    return listed;
}

void CompoundFile::LoadFat() {
    const std::size_t perFat = FatEntriesPerSector(m_sectorSize);
    const std::vector<std::uint32_t> fatSectors = FatSectorNumbers();
    // Entries of FAT sectors that cannot be read stay free, so chains through them end there.
    m_fat.assign(UnitsFor(m_sectorCount, perFat) * perFat, kFreeSector);
    for (std::size_t i = 0; i < fatSectors.size(); ++i) {
        const std::vector<std::uint32_t> entries = SectorNumbers(Sector(fatSectors[i]));
        std::copy(entries.begin(), entries.end(), m_fat.begin() + static_cast<std::ptrdiff_t>(i * perFat));
    }
    Charge(fatSectors.size() * m_sectorSize, fatSectors.size());
}

std::shared_ptr<const ChainInfo> CompoundFile::Chain(std::uint32_t start, bool mini) const {
    const ChainKey key{start, mini};
    if (auto found = m_chains.find(key); found != m_chains.end()) return found->second;
    const std::vector<std::uint32_t>& table = mini ? m_miniFat : m_fat;
    std::vector<std::uint32_t>& marks = mini ? m_miniMarks : m_marks;
    const std::size_t unitCount = std::min<std::size_t>(table.size(), marks.size());
    auto chain = std::make_shared<ChainInfo>();
    const std::uint32_t walk = ++m_walk;
    for (std::uint32_t s = start;;) {
        if (s == kEndOfChain) {
            chain->ended = true;
            break;
        }
        if (s >= unitCount || marks[s] == walk) break;
        marks[s] = walk;
        chain->sectors.push_back(s);
        s = table[s];
    }
    // Sound files have disjoint chains: caching far more than the file holds means shared chains.
    m_cachedUnits += chain->sectors.size();
    const std::uint64_t allowed = 2 * (static_cast<std::uint64_t>(m_sectorCount) + m_miniMarks.size()) + 65536;
    if (!Charge(0, chain->sectors.size() + 1) || m_cachedUnits > allowed) {
        if (m_budget) m_budget->ChargeSteps(UINT64_MAX);
        return nullptr;
    }
    m_chains.emplace(key, chain);
    return chain;
}

std::uint64_t CompoundFile::ReadableBytes(const ChainInfo& chain, std::uint64_t declared, bool mini) const {
    const std::uint64_t unit = mini ? kMiniSectorSize : m_sectorSize;
    std::uint64_t readable = std::min<std::uint64_t>(declared, chain.sectors.size() * unit);
    // Only the file's (or mini stream's) last unit can be short.
    const std::uint64_t total = mini ? m_miniReadable : m_data.size() - m_sectorSize;
    const std::uint64_t lastUnit = total / unit;
    const std::size_t needed = static_cast<std::size_t>(UnitsFor(readable, unit));
    for (std::size_t i = 0; i < needed; ++i) {
        if (chain.sectors[i] < lastUnit) continue;
        readable = std::min<std::uint64_t>(readable, i * unit + total % unit);
        break;
    }
    return readable;
}

StreamView CompoundFile::ViewOf(std::uint32_t start, std::uint64_t size, bool mini) const {
    StreamView view;
    view.m_file = this;
    view.m_mini = mini;
    view.m_declared = size;
    if (size == 0) return view;
    view.m_chain = Chain(start, mini);
    if (view.m_chain) view.m_readable = ReadableBytes(*view.m_chain, size, mini);
    return view;
}

bool CompoundFile::LoadDirectory(std::string& error) {
    const auto chain = Chain(m_firstDirSector, false);
    if (!chain || chain->sectors.empty()) return Fail(error, "directory unreadable");
    if (!chain->ended) Damage("directory chain broken");
    const std::size_t perSector = m_sectorSize / direntry::kSize;
    for (std::uint32_t s : chain->sectors) {
        const Bytes sector = Sector(s);
        for (std::size_t i = 0; i + 1 <= sector.size() / direntry::kSize && i < perSector; ++i) {
            if (m_entries.size() >= limits::kMaxDirectoryEntries) {
                Repair("directory longer than the entry limit");
                break;
            }
            m_entries.push_back(DecodeEntry(sector.subspan(i * direntry::kSize, direntry::kSize)));
        }
    }
    Charge(m_entries.size() * direntry::kSize, m_entries.size());
    if (m_entries.empty() || m_entries[0].type != EntryType::kRoot) return Fail(error, "no root entry");
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

// ---- The directory tree ----

// In-order walk of one storage's sibling tree, with an explicit stack so a degenerate tree cannot
// exhaust the call stack. Child storages are queued for the caller.
void CompoundFile::WalkSiblings(std::uint32_t storage, std::vector<bool>& visited, bool reachable,
                                std::vector<std::pair<std::uint32_t, std::size_t>>& storages, std::size_t depth) {
    std::vector<std::uint32_t> stack;
    auto follow = [&](std::uint32_t n) -> std::uint32_t {
        if (n == kNoStream) return kNoStream;
        if (n >= m_entries.size()) {
            Repair("directory index out of range");
            return kNoStream;
        }
        // An unallocated entry holds nothing and links nowhere, whatever its stale name says.
        if (m_entries[n].type == EntryType::kEmpty) {
            Repair("unallocated directory entry in the tree");
            return kNoStream;
        }
        if (visited[n]) {
            Damage("directory tree cycle");
            return kNoStream;
        }
        visited[n] = true;
        return n;
    };
    std::uint32_t node = follow(m_entries[storage].child);
    while (node != kNoStream || !stack.empty()) {
        while (node != kNoStream) {
            stack.push_back(node);
            node = follow(m_entries[node].left);
        }
        const std::uint32_t current = stack.back();
        stack.pop_back();
        Entry& e = m_entries[current];
        if (e.type == EntryType::kStorage || e.type == EntryType::kStream) {
            e.parent = storage;
            e.reachable = reachable;
            m_entries[storage].children.push_back(current);
            if (e.type == EntryType::kStorage) storages.push_back({current, depth + 1});
        } else {
            Damage("bad directory entry type");
        }
        node = follow(e.right);
    }
}

void CompoundFile::WalkStorage(std::uint32_t top, std::vector<bool>& visited, bool reachable) {
    visited[top] = true;
    m_entries[top].reachable = reachable;
    std::vector<std::pair<std::uint32_t, std::size_t>> storages{{top, 0u}};
    while (!storages.empty()) {
        auto [storage, depth] = storages.back();
        storages.pop_back();
        if (depth > limits::kMaxDirectoryDepth) {
            Damage("storages nested too deep");
            continue;
        }
        WalkSiblings(storage, visited, reachable, storages, depth);
    }
}

void CompoundFile::WalkTree() {
    std::vector<bool> visited(m_entries.size(), false);
    WalkStorage(0, visited, true);
    // Storages the root does not reach keep their own subtrees; they are walked too, tops first,
    // so a crafted file cannot hide a project behind one broken link.
    std::vector<bool> referenced(m_entries.size(), false);
    for (std::uint32_t i = 0; i < m_entries.size(); ++i) {
        if (visited[i]) continue;
        for (std::uint32_t link : {m_entries[i].left, m_entries[i].right, m_entries[i].child})
            if (link < m_entries.size()) referenced[link] = true;
    }
    for (bool tops : {true, false})
        for (std::uint32_t i = 0; i < m_entries.size(); ++i)
            if (!visited[i] && m_entries[i].type == EntryType::kStorage && (!tops || !referenced[i]))
                WalkStorage(i, visited, false);
}

void CompoundFile::LoadMiniStream() {
    const Entry& rootEntry = m_entries[0];
    if (rootEntry.size > 0) {
        m_miniChain = Chain(rootEntry.startSector, false);
        if (m_miniChain) m_miniReadable = ReadableBytes(*m_miniChain, rootEntry.size, false);
        if (m_miniReadable < rootEntry.size) Damage("mini stream chain broken");
    }
    if (m_firstMiniFat >= m_sectorCount) return;
    const auto chain = Chain(m_firstMiniFat, false);
    if (!chain) return;
    if (!chain->ended) Damage("mini FAT chain broken");
    if (m_miniFatCount != chain->sectors.size()) Repair("mini FAT sector count differs from its chain");
    const std::uint64_t miniSectors = UnitsFor(m_miniReadable, kMiniSectorSize);
    for (std::uint32_t s : chain->sectors) {
        if (m_miniFat.size() >= miniSectors) break;
        const std::vector<std::uint32_t> numbers = SectorNumbers(Sector(s));
        m_miniFat.insert(m_miniFat.end(), numbers.begin(), numbers.end());
    }
    m_miniFat.resize(std::min<std::uint64_t>(m_miniFat.size(), miniSectors));
    m_miniMarks.assign(m_miniFat.size(), 0);
    Charge(chain->sectors.size() * m_sectorSize, chain->sectors.size());
}

// ---- Lookups and streams ----

bool CompoundFile::StreamsShareSectors() const {
    std::vector<bool> regular(m_sectorCount, false), mini(m_miniFat.size(), false);
    auto claim = [](std::vector<bool>& owned, const ChainInfo& chain, std::size_t units) {
        for (std::size_t i = 0; i < units && i < chain.sectors.size(); ++i) {
            if (owned[chain.sectors[i]]) return false;
            owned[chain.sectors[i]] = true;
        }
        return true;
    };
    if (m_miniChain && !claim(regular, *m_miniChain, UnitsFor(m_miniReadable, m_sectorSize))) return true;
    for (std::uint32_t i = 1; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        if (e.type != EntryType::kStream || !e.reachable || e.size == 0) continue;
        const auto view = OpenStream(i);
        if (!view || !view->m_chain) continue;
        const std::uint64_t unit = view->m_mini ? kMiniSectorSize : m_sectorSize;
        if (!claim(view->m_mini ? mini : regular, *view->m_chain, UnitsFor(view->size(), unit))) return true;
    }
    return false;
}

std::vector<std::uint32_t> CompoundFile::DetachedStorages() const {
    std::vector<std::uint32_t> found;
    for (std::uint32_t i = 1; i < m_entries.size(); ++i)
        if (m_entries[i].type == EntryType::kStorage && !m_entries[i].reachable && m_entries[i].parent == kNoStream)
            found.push_back(i);
    return found;
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

std::optional<StreamView> CompoundFile::OpenStream(std::uint32_t index) const {
    if (index >= m_entries.size() || m_entries[index].type != EntryType::kStream) return std::nullopt;
    const Entry& e = m_entries[index];
    StreamView view = ViewOf(e.startSector, e.size, e.size < kMiniStreamCutoff);
    if (e.size > 0 && !view.m_chain) return std::nullopt;  // budget spent
    return view;
}

bool CompoundFile::StreamIntact(std::uint32_t index) const {
    const auto view = OpenStream(index);
    return view && view->complete();
}

std::optional<ByteVec> CompoundFile::ReadStream(std::uint32_t index) const {
    const auto view = OpenStream(index);
    if (!view || !view->complete() || view->size() > limits::kMaxStreamBytes) return std::nullopt;
    ByteVec out;
    out.reserve(static_cast<std::size_t>(view->size()));
    if (!view->ForEachPiece([&](Bytes piece) {
            PutBytes(out, piece);
            return true;
        }))
        return std::nullopt;
    return out;
}

std::optional<ByteVec> CompoundFile::ReadStream(std::string_view path) const {
    auto index = Find(path);
    if (!index) return std::nullopt;
    return ReadStream(*index);
}

}  // namespace tessaly::analysis::cfb
