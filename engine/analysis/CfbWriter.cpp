// Version 3 (512-byte sectors) or 4 (4096-byte sectors). Layout: FAT sectors, DIFAT sectors, directory, mini FAT, mini stream, then the regular streams,
// each a contiguous run. Sibling trees are balanced binary trees over the format's name order.
#include "CfbWriter.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "Cfb.h"

namespace tessaly::analysis::cfb {
namespace {

constexpr std::size_t kMiniSector = 64;
constexpr std::uint32_t kMiniCutoff = 4096;

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            i += 1;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
            out.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F)));
            i += 2;
        } else if (i + 2 < s.size()) {
            out.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F)));
            i += 3;
        } else {
            break;
        }
    }
    return out;
}

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool NameLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return Upper(a[i]) < Upper(b[i]);
    return false;
}

struct FlatEntry {
    const Node* node;
    std::u16string name;
    std::uint8_t type;
    std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    std::uint32_t start = kEndOfChain;
    std::uint64_t size = 0;
};

std::size_t SectorsFor(std::size_t bytes, std::size_t unit) { return (bytes + unit - 1) / unit; }

void WriteChain(std::vector<std::uint32_t>& fat, std::uint32_t start, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        fat[start + i] = i + 1 == count ? kEndOfChain : static_cast<std::uint32_t>(start + i + 1);
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

ByteVec WriteCompoundFile(const Node& root, int version) {
    const std::size_t sectorSize = version == 4 ? 4096 : 512;
    const std::size_t perFat = sectorSize / 4;           // FAT entries per sector
    const std::size_t perDifat = perFat - 1;          // DIFAT entries per sector, then the next link
    const std::size_t perDir = sectorSize / 128;
    // Directory entries, storages' children as balanced trees.
    std::vector<FlatEntry> flat;
    flat.push_back({&root, u"Root Entry", 5});
    std::function<void(std::size_t)> addChildren = [&](std::size_t parentIndex) {
        const Node* parent = flat[parentIndex].node;
        std::vector<std::uint32_t> indices;
        for (const Node& c : parent->children) {
            indices.push_back(static_cast<std::uint32_t>(flat.size()));
            flat.push_back({&c, Utf8ToUtf16(c.name).substr(0, 31), static_cast<std::uint8_t>(c.isStorage ? 1 : 2)});
        }
        std::sort(indices.begin(), indices.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return NameLess(flat[a].name, flat[b].name); });
        std::function<std::uint32_t(std::size_t, std::size_t)> build = [&](std::size_t lo, std::size_t hi) {
            if (lo >= hi) return kNoStream;
            const std::size_t mid = lo + (hi - lo) / 2;
            const std::uint32_t me = indices[mid];
            flat[me].left = build(lo, mid);
            flat[me].right = build(mid + 1, hi);
            return me;
        };
        flat[parentIndex].child = build(0, indices.size());
        for (std::uint32_t i : indices)
            if (flat[i].type == 1) addChildren(i);
    };
    addChildren(0);

    // Mini stream for the small streams, regular sectors for the rest.
    ByteVec mini;
    std::vector<std::uint32_t> miniFat;
    std::size_t regularSectors = 0;
    for (FlatEntry& e : flat) {
        if (e.type != 2) continue;
        e.size = e.node->data.size();
        if (e.size == 0) continue;
        if (e.size < kMiniCutoff) {
            const std::size_t count = SectorsFor(e.size, kMiniSector);
            e.start = static_cast<std::uint32_t>(miniFat.size());
            miniFat.resize(miniFat.size() + count);
            WriteChain(miniFat, e.start, count);
            mini.insert(mini.end(), e.node->data.begin(), e.node->data.end());
            mini.resize(miniFat.size() * kMiniSector, 0);
        } else {
            regularSectors += SectorsFor(e.size, sectorSize);
        }
    }
    const std::size_t dirSectors = SectorsFor(flat.size() * 128, sectorSize);
    const std::size_t miniFatSectors = SectorsFor(miniFat.size() * 4, sectorSize);
    const std::size_t miniStreamSectors = SectorsFor(mini.size(), sectorSize);
    const std::size_t content = dirSectors + miniFatSectors + miniStreamSectors + regularSectors;
    std::size_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        difatSectors = fatSectors > 109 ? SectorsFor(fatSectors - 109, perDifat) : 0;
        if (fatSectors * perFat >= content + fatSectors + difatSectors) break;
        ++fatSectors;
    }
    const std::size_t total = fatSectors + difatSectors + content;
    std::vector<std::uint32_t> fat(fatSectors * perFat, kFreeSector);
    for (std::size_t i = 0; i < fatSectors; ++i) fat[i] = kFatSector;
    for (std::size_t i = 0; i < difatSectors; ++i) fat[fatSectors + i] = kDifatSector;
    std::uint32_t next = static_cast<std::uint32_t>(fatSectors + difatSectors);
    const std::uint32_t dirStart = next;
    WriteChain(fat, next, dirSectors);
    next += static_cast<std::uint32_t>(dirSectors);
    const std::uint32_t miniFatStart = miniFatSectors ? next : kEndOfChain;
    WriteChain(fat, next, miniFatSectors);
    next += static_cast<std::uint32_t>(miniFatSectors);
    if (miniStreamSectors) {
        flat[0].start = next;
        flat[0].size = mini.size();
        WriteChain(fat, next, miniStreamSectors);
        next += static_cast<std::uint32_t>(miniStreamSectors);
    }
    for (FlatEntry& e : flat) {
        if (e.type != 2 || e.size < kMiniCutoff) continue;
        const std::size_t count = SectorsFor(e.size, sectorSize);
        e.start = next;
        WriteChain(fat, next, count);
        next += static_cast<std::uint32_t>(count);
    }

    ByteVec out((total + 1) * sectorSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        out[at] = static_cast<std::uint8_t>(v);
        out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto sectorAt = [&](std::size_t s) { return (s + 1) * sectorSize; };
    const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(out.data(), signature, 8);
    put16(24, 0x003E);
    put16(26, static_cast<std::uint16_t>(version == 4 ? 4 : 3));
    put16(28, 0xFFFE);
    put16(30, static_cast<std::uint16_t>(version == 4 ? 12 : 9));
    if (version == 4) put32(40, static_cast<std::uint32_t>(dirSectors));
    put16(32, 6);
    put32(44, static_cast<std::uint32_t>(fatSectors));
    put32(48, dirStart);
    put32(56, kMiniCutoff);
    put32(60, miniFatStart);
    put32(64, static_cast<std::uint32_t>(miniFatSectors));
    put32(68, difatSectors ? static_cast<std::uint32_t>(fatSectors) : kEndOfChain);
    put32(72, static_cast<std::uint32_t>(difatSectors));
    for (std::size_t i = 0; i < 109; ++i) put32(76 + i * 4, i < fatSectors ? static_cast<std::uint32_t>(i) : kFreeSector);
    for (std::size_t d = 0; d < difatSectors; ++d) {
        const std::size_t base = sectorAt(fatSectors + d);
        for (std::size_t k = 0; k < perDifat; ++k) {
            const std::size_t fatIndex = 109 + d * perDifat + k;
            put32(base + k * 4, fatIndex < fatSectors ? static_cast<std::uint32_t>(fatIndex) : kFreeSector);
        }
        put32(base + perDifat * 4, d + 1 < difatSectors ? static_cast<std::uint32_t>(fatSectors + d + 1) : kEndOfChain);
    }
    for (std::size_t i = 0; i < fat.size(); ++i) put32(sectorAt(i / perFat) + (i % perFat) * 4, fat[i]);
    for (std::size_t i = 0; i < dirSectors * perDir; ++i) {
        const std::size_t at = sectorAt(dirStart) + i * 128;
        if (i >= flat.size()) {
            put32(at + 68, kNoStream);
            put32(at + 72, kNoStream);
            put32(at + 76, kNoStream);
            continue;
        }
        const FlatEntry& e = flat[i];
        for (std::size_t k = 0; k < e.name.size(); ++k) put16(at + k * 2, e.name[k]);
        put16(at + 64, static_cast<std::uint16_t>((e.name.size() + 1) * 2));
        out[at + 66] = e.type;
        out[at + 67] = 1;  // black
        put32(at + 68, e.left);
        put32(at + 72, e.right);
        put32(at + 76, e.child);
        std::memcpy(&out[at + 80], e.node->clsid.data(), 16);
        put32(at + 96, e.node->stateBits);
        if (e.type != 2) std::memcpy(&out[at + 100], e.node->times.data(), 16);
        put32(at + 116, e.start);
        put32(at + 120, static_cast<std::uint32_t>(e.size));
        if (version == 4) put32(at + 124, static_cast<std::uint32_t>(e.size >> 32));
    }
    miniFat.resize(miniFatSectors * perFat, kFreeSector);
    for (std::size_t i = 0; i < miniFat.size(); ++i) put32(sectorAt(miniFatStart) + i * 4, miniFat[i]);
    if (miniStreamSectors) std::memcpy(&out[sectorAt(flat[0].start)], mini.data(), mini.size());
    for (const FlatEntry& e : flat) {
        if (e.type == 2 && e.size >= kMiniCutoff) std::memcpy(&out[sectorAt(e.start)], e.node->data.data(), e.size);
    }
    return out;
}

}  // namespace tessaly::analysis::cfb
