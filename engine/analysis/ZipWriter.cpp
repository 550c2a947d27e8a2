// Local headers carry the real sizes (no data descriptors), which every reader accepts.
#include "ZipWriter.h"

#include <zlib.h>

namespace tessaly::analysis::zip {

void Writer::AddCopy(const Entry& entry, Bytes compressed) {
    Item item{entry, ByteVec(compressed.begin(), compressed.end())};
    item.entry.flags &= static_cast<std::uint16_t>(~0x0008u);  // sizes are known now
    m_items.push_back(std::move(item));
}

void Writer::AddStored(const std::string& name, Bytes data) {
    Item item;
    item.entry.name = name;
    item.entry.method = 0;
    item.entry.crc = crc32(0L, data.data(), static_cast<uInt>(data.size()));
    item.entry.compressedSize = item.entry.uncompressedSize = data.size();
    item.entry.modDate = 0x21;  // 1980-01-01
    item.compressed.assign(data.begin(), data.end());
    m_items.push_back(std::move(item));
}

void Writer::AddDeflated(const std::string& name, Bytes data) {
    Item item;
    item.entry.name = name;
    item.entry.method = 8;
    item.entry.crc = crc32(0L, data.data(), static_cast<uInt>(data.size()));
    item.entry.uncompressedSize = data.size();
    item.entry.modDate = 0x21;
    z_stream zs{};
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    item.compressed.resize(deflateBound(&zs, static_cast<uLong>(data.size())) + 16);
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = item.compressed.data();
    zs.avail_out = static_cast<uInt>(item.compressed.size());
    deflate(&zs, Z_FINISH);
    item.compressed.resize(zs.total_out);
    deflateEnd(&zs);
    item.entry.compressedSize = item.compressed.size();
    m_items.push_back(std::move(item));
}

namespace {

// The fields a local header and its central-directory record share, from the flags to the name
// length; ZIP64 moves both sizes into the extra field.
void PutSharedHeaderFields(ByteVec& out, const Entry& e, bool forceZip64) {
    PutU16(out, e.flags);
    PutU16(out, e.method);
    PutU16(out, e.modTime);
    PutU16(out, e.modDate);
    PutU32(out, e.crc);
    PutU32(out, forceZip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.compressedSize));
    PutU32(out, forceZip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.uncompressedSize));
    PutU16(out, static_cast<std::uint16_t>(e.name.size()));
}

}  // namespace

ByteVec Writer::Finish(bool forceZip64) const {
    ByteVec out;
    std::vector<std::uint64_t> offsets;
    for (const Item& item : m_items) {
        offsets.push_back(out.size());
        const Entry& e = item.entry;
        PutU32(out, 0x04034b50);
        PutU16(out, forceZip64 ? 45 : 20);
        PutSharedHeaderFields(out, e, forceZip64);
        PutU16(out, forceZip64 ? 20 : 0);
        PutText(out, e.name);
        if (forceZip64) {
            PutU16(out, 1);
            PutU16(out, 16);
            PutU64(out, e.uncompressedSize);
            PutU64(out, e.compressedSize);
        }
        PutBytes(out, item.compressed);
    }
    const std::uint64_t dirOffset = out.size();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const Entry& e = m_items[i].entry;
        PutU32(out, 0x02014b50);
        PutU16(out, forceZip64 ? 45 : 20);
        PutU16(out, forceZip64 ? 45 : 20);
        PutSharedHeaderFields(out, e, forceZip64);
        PutU16(out, forceZip64 ? 28 : 0);
        PutU16(out, 0);
        PutU16(out, 0);
        PutU16(out, 0);
        PutU32(out, 0);
        PutU32(out, forceZip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(offsets[i]));
        PutText(out, e.name);
        if (forceZip64) {
            PutU16(out, 1);
            PutU16(out, 24);
            PutU64(out, e.uncompressedSize);
            PutU64(out, e.compressedSize);
            PutU64(out, offsets[i]);
        }
    }
    const std::uint64_t dirSize = out.size() - dirOffset;
    if (forceZip64) {
        const std::uint64_t end64 = out.size();
        PutU32(out, 0x06064b50);
        PutU64(out, 44);
        PutU16(out, 45);
        PutU16(out, 45);
        PutU32(out, 0);
        PutU32(out, 0);
        PutU64(out, m_items.size());
        PutU64(out, m_items.size());
        PutU64(out, dirSize);
        PutU64(out, dirOffset);
        PutU32(out, 0x07064b50);
        PutU32(out, 0);
        PutU64(out, end64);
        PutU32(out, 1);
    }
    PutU32(out, 0x06054b50);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, forceZip64 ? 0xFFFF : static_cast<std::uint16_t>(m_items.size()));
    PutU16(out, forceZip64 ? 0xFFFF : static_cast<std::uint16_t>(m_items.size()));
    PutU32(out, forceZip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(dirSize));
    PutU32(out, forceZip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(dirOffset));
    PutU16(out, 0);
    return out;
}

std::optional<Bytes> CompressedBytes(Bytes archive, const Entry& entry) {
    const std::size_t at = static_cast<std::size_t>(entry.localOffset);
    if (ReadU32(archive, at) != 0x04034b50) return std::nullopt;
    const std::size_t dataAt = at + 30 + ReadU16(archive, at + 26) + ReadU16(archive, at + 28);
    if (dataAt > archive.size() || entry.compressedSize > archive.size() - dataAt) return std::nullopt;
    return archive.subspan(dataAt, static_cast<std::size_t>(entry.compressedSize));
}

}  // namespace tessaly::analysis::zip
