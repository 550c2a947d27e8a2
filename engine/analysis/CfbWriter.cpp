// Layout: header, FAT sectors, DIFAT sectors, directory, mini FAT, mini stream, then the regular
// streams, each a contiguous run. Sibling trees are balanced binary trees over the format's name
// order. Writing goes in three phases: flatten the tree into directory entries, plan where every
// sector goes, then write the sectors in file order.
#include "CfbWriter.h"

#include <algorithm>
#include <stdexcept>

#include "CfbFormat.h"
#include "Text.h"

namespace tessaly::analysis::cfb {
namespace {

bool NameLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return AsciiUpper(a[i]) < AsciiUpper(b[i]);
    return false;
}

struct FlatEntry {
    const Node* node;
    std::u16string name;
    EntryType type;
    std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    std::uint32_t start = kEndOfChain;
    std::uint64_t size = 0;
    [[nodiscard]] bool inMiniStream() const { return type == EntryType::kStream && size > 0 && size < kMiniStreamCutoff; }
    [[nodiscard]] bool inRegularSectors() const { return type == EntryType::kStream && size >= kMiniStreamCutoff; }
};

std::uint64_t SectorsFor(std::uint64_t bytes, std::size_t unit) { return (bytes + unit - 1) / unit; }

// Phase 1: directory entries in writing order, each storage's children as a balanced tree.
class TreeFlattener {
public:
    std::vector<FlatEntry> Flatten(const Node& root) {
        m_flat.push_back({&root, u"Root Entry", EntryType::kRoot});
        AddChildren(0);
        return std::move(m_flat);
    }

private:
    void AddChildren(std::size_t parentIndex) {
        const Node* parent = m_flat[parentIndex].node;
        std::vector<std::uint32_t> indices;
        for (const Node& c : parent->children) {
            indices.push_back(static_cast<std::uint32_t>(m_flat.size()));
            FlatEntry e{&c, Utf8ToUtf16(c.name).substr(0, direntry::kMaxNameUnits), c.isStorage ? EntryType::kStorage : EntryType::kStream};
            if (!c.isStorage) e.size = c.StreamSize();
            m_flat.push_back(std::move(e));
        }
        std::sort(indices.begin(), indices.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return NameLess(m_flat[a].name, m_flat[b].name); });
        m_flat[parentIndex].child = Balance(indices, 0, indices.size());
        for (std::uint32_t i : indices)
            if (m_flat[i].type == EntryType::kStorage) AddChildren(i);
    }
    std::uint32_t Balance(const std::vector<std::uint32_t>& sorted, std::size_t lo, std::size_t hi) {
        if (lo >= hi) return kNoStream;
        const std::size_t mid = lo + (hi - lo) / 2;
        const std::uint32_t me = sorted[mid];
        m_flat[me].left = Balance(sorted, lo, mid);
        m_flat[me].right = Balance(sorted, mid + 1, hi);
        return me;
    }
    std::vector<FlatEntry> m_flat;
};

// Phase 2: where everything goes. Sector numbers count from the first sector after the header.
struct Layout {
    std::size_t sectorSize = 512;
    std::uint64_t fatSectors = 1, difatSectors = 0;
    std::uint64_t dirSectors = 0, miniFatSectors = 0, miniStreamSectors = 0;
    std::uint32_t dirStart = 0, miniFatStart = kEndOfChain;
    std::vector<std::uint32_t> fat, miniFat;
};

void AppendChain(std::vector<std::uint32_t>& table, std::uint32_t start, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i)
        table[start + i] = i + 1 == count ? kEndOfChain : static_cast<std::uint32_t>(start + i + 1);
}

Layout PlanLayout(std::vector<FlatEntry>& flat, std::size_t sectorSize) {
    Layout l;
    l.sectorSize = sectorSize;
    std::uint64_t regularSectors = 0;
    for (FlatEntry& e : flat) {
        if (e.inMiniStream()) {
            const std::uint64_t count = SectorsFor(e.size, kMiniSectorSize);
            e.start = static_cast<std::uint32_t>(l.miniFat.size());
            l.miniFat.resize(l.miniFat.size() + count);
            AppendChain(l.miniFat, e.start, count);
        } else if (e.inRegularSectors()) {
            regularSectors += SectorsFor(e.size, sectorSize);
        }
    }
    const std::uint64_t miniStreamBytes = l.miniFat.size() * kMiniSectorSize;
    l.dirSectors = SectorsFor(flat.size() * direntry::kSize, sectorSize);
    l.miniFatSectors = SectorsFor(l.miniFat.size() * 4, sectorSize);
    l.miniStreamSectors = SectorsFor(miniStreamBytes, sectorSize);
    const std::uint64_t content = l.dirSectors + l.miniFatSectors + l.miniStreamSectors + regularSectors;
    const std::size_t perFat = FatEntriesPerSector(sectorSize);
    for (;;) {
        l.difatSectors = l.fatSectors > header::kDifatEntries
                             ? SectorsFor(l.fatSectors - header::kDifatEntries, DifatEntriesPerSector(sectorSize))
                             : 0;
        if (l.fatSectors * perFat >= content + l.fatSectors + l.difatSectors) break;
        ++l.fatSectors;
    }
    if (l.fatSectors + l.difatSectors + content > kMaxRegularSector) throw std::length_error("compound file too large");
    l.fat.assign(l.fatSectors * perFat, kFreeSector);
    std::fill_n(l.fat.begin(), l.fatSectors, kFatSector);
    std::fill_n(l.fat.begin() + static_cast<std::ptrdiff_t>(l.fatSectors), l.difatSectors, kDifatSector);
    std::uint32_t next = static_cast<std::uint32_t>(l.fatSectors + l.difatSectors);
    auto allocate = [&](std::uint64_t count) {
        const std::uint32_t start = next;
        AppendChain(l.fat, start, count);
        next += static_cast<std::uint32_t>(count);
        return start;
    };
    l.dirStart = allocate(l.dirSectors);
    if (l.miniFatSectors) l.miniFatStart = allocate(l.miniFatSectors);
    if (l.miniStreamSectors) {
        flat[0].start = allocate(l.miniStreamSectors);
        flat[0].size = miniStreamBytes;
    }
    for (FlatEntry& e : flat)
        if (e.inRegularSectors()) e.start = allocate(SectorsFor(e.size, sectorSize));
    l.miniFat.resize(l.miniFatSectors * perFat, kFreeSector);
    return l;
}

// Phase 3: the sectors in file order. Padding counts from the sink's start, which is the file's.
void WriteSectorNumbers(ByteSink& out, const std::vector<std::uint32_t>& numbers) {
    ByteVec bytes;
    bytes.reserve(numbers.size() * 4);
    for (std::uint32_t n : numbers) PutU32(bytes, n);
    out.Write(bytes);
}

void PadToSector(ByteSink& out, std::size_t sectorSize) {
    if (out.size() % sectorSize) out.WriteZeros(sectorSize - out.size() % sectorSize);
}

void WriteHeader(ByteSink& out, const Layout& l, int version) {
    ByteVec h(l.sectorSize, 0);
    std::copy(std::begin(kSignature), std::end(kSignature), h.begin() + header::kSignatureOffset);
    SetField(h, header::kMinorVersion, kMinorVersion);
    SetField(h, header::kMajorVersion, static_cast<std::uint16_t>(version == 4 ? 4 : 3));
    SetField(h, header::kByteOrder, kByteOrderMark);
    SetField(h, header::kSectorShift, version == 4 ? kSectorShiftV4 : kSectorShiftV3);
    SetField(h, header::kMiniSectorShift, kMiniSectorShift);
    if (version == 4) SetField(h, header::kDirectorySectorCount, static_cast<std::uint32_t>(l.dirSectors));
    SetField(h, header::kFatSectorCount, static_cast<std::uint32_t>(l.fatSectors));
    SetField(h, header::kFirstDirectorySector, l.dirStart);
    SetField(h, header::kMiniStreamCutoff, kMiniStreamCutoff);
    SetField(h, header::kFirstMiniFatSector, l.miniFatStart);
    SetField(h, header::kMiniFatSectorCount, static_cast<std::uint32_t>(l.miniFatSectors));
    SetField(h, header::kFirstDifatSector, l.difatSectors ? static_cast<std::uint32_t>(l.fatSectors) : kEndOfChain);
    SetField(h, header::kDifatSectorCount, static_cast<std::uint32_t>(l.difatSectors));
    for (std::size_t i = 0; i < header::kDifatEntries; ++i)
        SetField(h, header::Difat(i), i < l.fatSectors ? static_cast<std::uint32_t>(i) : kFreeSector);
    out.Write(h);
}

// FAT sectors start at sector 0; the first 109 are listed in the header, the rest in DIFAT sectors.
void WriteDifat(ByteSink& out, const Layout& l) {
    const std::size_t perDifat = DifatEntriesPerSector(l.sectorSize);
    for (std::uint64_t d = 0; d < l.difatSectors; ++d) {
        std::vector<std::uint32_t> numbers;
        for (std::size_t k = 0; k < perDifat; ++k) {
            const std::uint64_t fatIndex = header::kDifatEntries + d * perDifat + k;
            numbers.push_back(fatIndex < l.fatSectors ? static_cast<std::uint32_t>(fatIndex) : kFreeSector);
        }
        numbers.push_back(d + 1 < l.difatSectors ? static_cast<std::uint32_t>(l.fatSectors + d + 1) : kEndOfChain);
        WriteSectorNumbers(out, numbers);
    }
}

ByteVec EncodeEntry(const FlatEntry* e, int version) {
    ByteVec raw(direntry::kSize, 0);
    if (!e) {
        SetField(raw, direntry::kLeftSibling, kNoStream);
        SetField(raw, direntry::kRightSibling, kNoStream);
        SetField(raw, direntry::kChild, kNoStream);
        return raw;
    }
    for (std::size_t k = 0; k < e->name.size(); ++k)
        SetField(raw, Field<std::uint16_t>{direntry::kNameOffset + k * 2}, static_cast<std::uint16_t>(e->name[k]));
    SetField(raw, direntry::kNameLength, static_cast<std::uint16_t>((e->name.size() + 1) * 2));
    SetField(raw, direntry::kType, static_cast<std::uint8_t>(e->type));
    SetField(raw, direntry::kColour, direntry::kBlack);
    SetField(raw, direntry::kLeftSibling, e->left);
    SetField(raw, direntry::kRightSibling, e->right);
    SetField(raw, direntry::kChild, e->child);
    std::copy(e->node->clsid.begin(), e->node->clsid.end(), raw.begin() + direntry::kClsidOffset);
    SetField(raw, direntry::kStateBits, e->node->stateBits);
    if (e->type != EntryType::kStream)
        std::copy(e->node->times.begin(), e->node->times.end(), raw.begin() + direntry::kTimesOffset);
    SetField(raw, direntry::kStartSector, e->start);
    SetField(raw, direntry::kSizeLow, static_cast<std::uint32_t>(e->size));
    if (version == 4) SetField(raw, direntry::kSizeHigh, static_cast<std::uint32_t>(e->size >> 32));
    return raw;
}

void WriteDirectory(ByteSink& out, const std::vector<FlatEntry>& flat, const Layout& l, int version) {
    const std::size_t slots = l.dirSectors * (l.sectorSize / direntry::kSize);
    for (std::size_t i = 0; i < slots; ++i) out.Write(EncodeEntry(i < flat.size() ? &flat[i] : nullptr, version));
}

// Counts what a source writes, so a source that writes more or less than it declared is caught
// before it shifts every later stream.
class CheckedSink final : public ByteSink {
public:
    CheckedSink(ByteSink& out, std::uint64_t expected) : m_out(out), m_expected(expected) {}
    void Write(Bytes bytes) override {
        if (bytes.size() > m_expected - m_written) throw std::length_error("stream source wrote too much");
        m_written += bytes.size();
        m_out.Write(bytes);
    }
    [[nodiscard]] Bytes Written() override { return m_out.Written(); }
    [[nodiscard]] std::uint64_t size() const override { return m_written; }

private:
    ByteSink& m_out;
    std::uint64_t m_expected;
    std::uint64_t m_written = 0;
};

void WriteStream(ByteSink& out, const FlatEntry& e, std::size_t unit) {
    CheckedSink checked(out, e.size);
    if (e.node->source) e.node->source(checked);
    else checked.Write(e.node->data);
    if (checked.size() != e.size) throw std::length_error("stream source wrote too little");
    PadToSector(out, unit);
}

}  // namespace

Node& Node::AddStorage(std::string storageName) {
    Node n;
    n.name = std::move(storageName);
    n.isStorage = true;
    children.push_back(std::move(n));
    return children.back();
}

Node& Node::AddStream(std::string streamName, ByteVec bytes) {
    Node n;
    n.name = std::move(streamName);
    n.data = std::move(bytes);
    children.push_back(std::move(n));
    return children.back();
}

Node& Node::AddStream(std::string streamName, std::uint64_t size, StreamSource writeBytes) {
    Node n;
    n.name = std::move(streamName);
    n.sourceSize = size;
    n.source = std::move(writeBytes);
    children.push_back(std::move(n));
    return children.back();
}

void WriteCompoundFile(const Node& root, ByteSink& out, int version) {
    std::vector<FlatEntry> flat = TreeFlattener().Flatten(root);
    const Layout l = PlanLayout(flat, version == 4 ? std::size_t{1} << kSectorShiftV4 : std::size_t{1} << kSectorShiftV3);
    WriteHeader(out, l, version);
    WriteSectorNumbers(out, l.fat);
    WriteDifat(out, l);
    WriteDirectory(out, flat, l, version);
    WriteSectorNumbers(out, l.miniFat);
    for (const FlatEntry& e : flat)
        if (e.inMiniStream()) WriteStream(out, e, kMiniSectorSize);
    PadToSector(out, l.sectorSize);
    for (const FlatEntry& e : flat)
        if (e.inRegularSectors()) WriteStream(out, e, l.sectorSize);
}

ByteVec WriteCompoundFile(const Node& root, int version) {
    MemorySink sink;
    WriteCompoundFile(root, sink, version);
    return sink.Take();
}

}  // namespace tessaly::analysis::cfb
