// DataSpaceMap: a header length (8), an entry count, then entries of reference components (the
// path of a stream or storage, each a length-prefixed UTF-16 name padded to four bytes) and the
// data space's name. An unreadable map still protects the streams Office always transforms.
#include "DataSpaces.h"

#include <utility>

#include "Limits.h"

namespace tessaly::analysis::dataspaces {
namespace {

constexpr std::string_view kDataSpaces = "\x06" "DataSpaces";

// Streams that only ever hold rights-protected content.
constexpr std::string_view kTransformedStreams[] = {"\x09" "DRMContent", "\x09" "DRMViewerContent"};
// Password encryption of a whole package: the encryption readers handle it, with or without a
// password they know.
constexpr std::string_view kPasswordDataSpace = "StrongEncryptionDataSpace";

std::optional<std::string> ReadLengthPrefixedName(ByteReader& r) {
    const std::uint32_t bytes = r.u32();
    if (!r.ok() || bytes % 2 != 0 || bytes > r.remaining()) return std::nullopt;
    std::string name;
    for (std::uint32_t i = 0; i < bytes; i += 2) {
        const std::uint16_t c = r.u16();
        if (c < 0x80) name.push_back(static_cast<char>(c));
        else name.push_back('?');  // names of transformed streams are ASCII; anything else matches nothing
    }
    r.skip((4 - bytes % 4) % 4);
    if (!r.ok()) return std::nullopt;
    return name;
}

struct MapEntry {
    std::string path;
    std::string dataSpace;
};

// The entries of the map, or nullopt when it cannot be read.
std::optional<std::vector<MapEntry>> ReadMap(Bytes map) {
    ByteReader r(map);
    const std::uint32_t headerLength = r.u32();
    const std::uint32_t count = r.u32();
    if (!r.ok() || headerLength != 8 || count > limits::kMaxDataSpaceMapEntries) return std::nullopt;
    std::vector<MapEntry> entries;
    for (std::uint32_t e = 0; e < count; ++e) {
        const std::size_t start = r.pos();
        const std::uint32_t length = r.u32();
        const std::uint32_t components = r.u32();
        if (!r.ok() || length < 8 || length > map.size() - start || components > limits::kMaxDataSpaceMapComponents) return std::nullopt;
        MapEntry entry;
        for (std::uint32_t c = 0; c < components; ++c) {
            r.u32();  // stream or storage; the path says which
            auto name = ReadLengthPrefixedName(r);
            if (!name) return std::nullopt;
            entry.path += (entry.path.empty() ? "" : "/") + *name;
        }
        auto dataSpace = ReadLengthPrefixedName(r);
        if (!dataSpace) return std::nullopt;
        entry.dataSpace = std::move(*dataSpace);
        entries.push_back(std::move(entry));
        r = ByteReader(map, start + length);
    }
    return entries;
}

}  // namespace

Protection ReadProtection(const cfb::CompoundFile& file) {
    Protection p;
    const auto storage = file.Child(0, kDataSpaces);
    if (!storage || file.entries()[*storage].type != cfb::EntryType::kStorage) return p;
    p.hasDataSpaces = true;
    std::vector<std::string> named(std::begin(kTransformedStreams), std::end(kTransformedStreams));
    if (auto map = file.Find(std::string(kDataSpaces) + "/DataSpaceMap")) {
        if (auto bytes = file.ReadStream(*map)) {
            if (auto entries = ReadMap(*bytes))
                for (MapEntry& e : *entries)
                    if (e.dataSpace != kPasswordDataSpace) named.push_back(std::move(e.path));
        }
    }
    for (const std::string& path : named) {
        const auto index = file.Find(path);
        if (index && file.entries()[*index].type == cfb::EntryType::kStream) p.protectedStreams.push_back(path);
    }
    return p;
}

}  // namespace tessaly::analysis::dataspaces
