// Local headers carry the real sizes (no data descriptors), which every reader accepts. Entries
// are written to the sink one after the other, so a copied part never needs a second copy.
#include "ZipWriter.h"

#include <new>
#include <stdexcept>

#include "ZlibStream.h"

namespace tessaly::analysis::zip {
namespace {

// The fields a local header and its central-directory record share, from the flags to the name
// length, laid out the same way in both; ZIP64 moves both sizes into the extra field.
struct SharedFields {
    Field<std::uint16_t> flags, method, modTime, modDate;
    Field<std::uint32_t> crc, compressedSize, uncompressedSize;
    Field<std::uint16_t> nameLength;
};
constexpr SharedFields kLocalShared{local::kFlags, local::kMethod, local::kModTime, local::kModDate,
                                    local::kCrc, local::kCompressedSize, local::kUncompressedSize, local::kNameLength};
constexpr SharedFields kCentralShared{central::kFlags, central::kMethod, central::kModTime, central::kModDate,
                                      central::kCrc, central::kCompressedSize, central::kUncompressedSize, central::kNameLength};

void SetSharedFields(std::span<std::uint8_t> header, const SharedFields& f, const Entry& e, bool zip64) {
    SetField(header, f.flags, e.flags);
    SetField(header, f.method, e.method);
    SetField(header, f.modTime, e.modTime);
    SetField(header, f.modDate, e.modDate);
    SetField(header, f.crc, e.crc);
    SetField(header, f.compressedSize, zip64 ? kMax32 : static_cast<std::uint32_t>(e.compressedSize));
    SetField(header, f.uncompressedSize, zip64 ? kMax32 : static_cast<std::uint32_t>(e.uncompressedSize));
    SetField(header, f.nameLength, static_cast<std::uint16_t>(e.name.size()));
}

// The ZIP64 extra field: the 64-bit values in the order the format lists them.
ByteVec Zip64Extra(std::initializer_list<std::uint64_t> values) {
    ByteVec extra;
    PutU16(extra, kZip64ExtraId);
    PutU16(extra, static_cast<std::uint16_t>(values.size() * 8));
    for (std::uint64_t v : values) PutU64(extra, v);
    return extra;
}

void WriteLocalEntry(ByteSink& out, const Entry& e, Bytes compressed, bool zip64) {
    const ByteVec extra = zip64 ? Zip64Extra({e.uncompressedSize, e.compressedSize}) : ByteVec{};
    ByteVec header(local::kSize, 0);
    SetField(header, local::kSignatureField, local::kSignature);
    SetField(header, local::kVersionNeeded, zip64 ? kVersionZip64 : kVersionDefault);
    SetSharedFields(header, kLocalShared, e, zip64);
    SetField(header, local::kExtraLength, static_cast<std::uint16_t>(extra.size()));
    PutText(header, e.name);
    PutBytes(header, extra);
    out.Write(header);
    out.Write(compressed);
}

void WriteEndRecords(ByteSink& out, std::uint64_t count, std::uint64_t dirOffset, std::uint64_t dirSize, bool zip64) {
    if (zip64) {
        const std::uint64_t end64At = out.size();
        ByteVec record(end64::kSize + locator64::kSize, 0);
        SetField(record, end64::kSignatureField, end64::kSignature);
        SetField(record, end64::kRecordSize, end64::kRecordSizeValue);
        SetField(record, end64::kVersionMadeBy, kVersionZip64);
        SetField(record, end64::kVersionNeeded, kVersionZip64);
        SetField(record, end64::kEntriesOnDisk, count);
        SetField(record, end64::kEntries, count);
        SetField(record, end64::kDirectorySize, dirSize);
        SetField(record, end64::kDirectoryOffset, dirOffset);
        SetField(record, locator64::kSignatureField, locator64::kSignature, end64::kSize);
        SetField(record, locator64::kEnd64Offset, end64At, end64::kSize);
        SetField(record, locator64::kDiskCount, std::uint32_t{1}, end64::kSize);
        out.Write(record);
    }
    ByteVec record(end::kSize, 0);
    SetField(record, end::kSignatureField, end::kSignature);
    SetField(record, end::kEntriesOnDisk, zip64 ? kMax16 : static_cast<std::uint16_t>(count));
    SetField(record, end::kEntries, zip64 ? kMax16 : static_cast<std::uint16_t>(count));
    SetField(record, end::kDirectorySize, zip64 ? kMax32 : static_cast<std::uint32_t>(dirSize));
    SetField(record, end::kDirectoryOffset, zip64 ? kMax32 : static_cast<std::uint32_t>(dirOffset));
    out.Write(record);
}

}  // namespace

void Writer::AddCopy(const Entry& entry, Bytes compressed) {
    Item item{entry, {}, compressed};
    item.entry.flags &= static_cast<std::uint16_t>(~kFlagDataDescriptor);  // sizes are known now
    m_items.push_back(std::move(item));
}

void Writer::AddStored(const std::string& name, Bytes data) {
    Item item;
    item.entry.name = name;
    item.entry.method = kMethodStored;
    item.entry.crc = crc32(0L, data.data(), static_cast<uInt>(data.size()));
    item.entry.compressedSize = item.entry.uncompressedSize = data.size();
    item.entry.modDate = kDosDate1980;
    item.owned.assign(data.begin(), data.end());
    item.compressed = item.owned;
    m_items.push_back(std::move(item));
}

void Writer::AddDeflated(const std::string& name, Bytes data) {
    Item item;
    item.entry.name = name;
    item.entry.method = kMethodDeflated;
    item.entry.crc = crc32(0L, data.data(), static_cast<uInt>(data.size()));
    item.entry.uncompressedSize = data.size();
    item.entry.modDate = kDosDate1980;
    DeflateStream zs(Z_DEFAULT_COMPRESSION);
    if (!zs.ok()) throw std::bad_alloc();
    item.owned.resize(deflateBound(zs.get(), static_cast<uLong>(data.size())) + 16);
    zs->next_in = const_cast<Bytef*>(data.data());
    zs->avail_in = static_cast<uInt>(data.size());
    zs->next_out = item.owned.data();
    zs->avail_out = static_cast<uInt>(item.owned.size());
    if (deflate(zs.get(), Z_FINISH) != Z_STREAM_END) throw std::logic_error("deflate output larger than its bound");
    item.owned.resize(zs->total_out);
    item.entry.compressedSize = item.owned.size();
    item.compressed = item.owned;
    m_items.push_back(std::move(item));
}

void Writer::WriteCentralDirectory(ByteSink& out, const std::vector<std::uint64_t>& offsets, bool zip64) const {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const Entry& e = m_items[i].entry;
        const ByteVec extra = zip64 ? Zip64Extra({e.uncompressedSize, e.compressedSize, offsets[i]}) : ByteVec{};
        ByteVec record(central::kSize, 0);
        SetField(record, central::kSignatureField, central::kSignature);
        SetField(record, central::kVersionMadeBy, zip64 ? kVersionZip64 : kVersionDefault);
        SetField(record, central::kVersionNeeded, zip64 ? kVersionZip64 : kVersionDefault);
        SetSharedFields(record, kCentralShared, e, zip64);
        SetField(record, central::kExtraLength, static_cast<std::uint16_t>(extra.size()));
        SetField(record, central::kLocalHeaderOffset, zip64 ? kMax32 : static_cast<std::uint32_t>(offsets[i]));
        PutText(record, e.name);
        PutBytes(record, extra);
        out.Write(record);
    }
}

void Writer::Finish(ByteSink& out, bool forceZip64) const {
    std::uint64_t total = 0;
    for (const Item& item : m_items) total += local::kSize + item.entry.name.size() + item.compressed.size();
    const bool zip64 = forceZip64 || total >= kMax32 || m_items.size() >= kMax16;
    const std::uint64_t start = out.size();
    std::vector<std::uint64_t> offsets;
    for (const Item& item : m_items) {
        offsets.push_back(out.size() - start);
        WriteLocalEntry(out, item.entry, item.compressed, zip64);
    }
    const std::uint64_t dirOffset = out.size() - start;
    WriteCentralDirectory(out, offsets, zip64);
    WriteEndRecords(out, m_items.size(), dirOffset, out.size() - start - dirOffset, zip64);
}

ByteVec Writer::Finish(bool forceZip64) const {
    MemorySink sink;
    Finish(sink, forceZip64);
    return sink.Take();
}

}  // namespace tessaly::analysis::zip
