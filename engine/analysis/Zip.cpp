// ZIP reading through the central directory (the local headers only locate the data), so an entry
// hidden from the directory is not part of the package, as for Office itself.
#include "Zip.h"

#include <algorithm>
#include <cstring>

#include "Limits.h"
#include "Text.h"
#include "ZlibStream.h"

namespace tessaly::analysis::zip {
namespace {

bool Fail(std::string& error, const char* reason) {
    error = reason;
    return false;
}

// The end record lies within the last 64 KiB plus its own size (the comment's limit).
std::optional<std::size_t> FindEndRecord(Bytes data) {
    const std::size_t lowest = data.size() > end::kSize + end::kMaxComment ? data.size() - end::kSize - end::kMaxComment : 0;
    for (std::size_t at = data.size() - end::kSize + 1; at-- > lowest;)
        if (ReadField(data, end::kSignatureField, at) == end::kSignature) return at;
    return std::nullopt;
}

struct DirectoryPlace {
    std::uint64_t count = 0, size = 0, offset = 0;
};

// Entry count, size and offset of the central directory, from the ZIP64 end record when the
// classic one says its fields overflowed.
bool ReadDirectoryPlace(Bytes data, std::size_t endAt, DirectoryPlace& place, std::string& error) {
    ByteReader r(data);
    place.count = r.get(end::kEntries, endAt);
    place.size = r.get(end::kDirectorySize, endAt);
    place.offset = r.get(end::kDirectoryOffset, endAt);
    if (place.count != kMax16 && place.size != kMax32 && place.offset != kMax32) return true;
    if (endAt < locator64::kSize || r.get(locator64::kSignatureField, endAt - locator64::kSize) != locator64::kSignature)
        return Fail(error, "missing ZIP64 locator");
    const std::uint64_t at = r.get(locator64::kEnd64Offset, endAt - locator64::kSize);
    if (at > data.size() || ReadField(data, end64::kSignatureField, static_cast<std::size_t>(at)) != end64::kSignature)
        return Fail(error, "bad ZIP64 end record");
    const std::size_t base = static_cast<std::size_t>(at);
    place.count = r.get(end64::kEntries, base);
    place.size = r.get(end64::kDirectorySize, base);
    place.offset = r.get(end64::kDirectoryOffset, base);
    return r.ok() || Fail(error, "bad ZIP64 end record");
}

// One central directory record at the reader's position; the reader moves past it.
bool ReadCentralRecord(ByteReader& c, Entry& e) {
    const std::size_t at = c.pos();
    if (c.get(central::kSignatureField, at) != central::kSignature) return false;
    e.flags = c.get(central::kFlags, at);
    e.method = c.get(central::kMethod, at);
    e.modTime = c.get(central::kModTime, at);
    e.modDate = c.get(central::kModDate, at);
    e.crc = c.get(central::kCrc, at);
    e.compressedSize = c.get(central::kCompressedSize, at);
    e.uncompressedSize = c.get(central::kUncompressedSize, at);
    e.localOffset = c.get(central::kLocalHeaderOffset, at);
    const std::uint16_t nameLength = c.get(central::kNameLength, at);
    const std::uint16_t extraLength = c.get(central::kExtraLength, at);
    const std::uint16_t commentLength = c.get(central::kCommentLength, at);
    c.skip(central::kSize);
    e.name = c.text(nameLength);
    Bytes extra = c.bytes(extraLength);
    c.skip(commentLength);
    if (!c.ok()) return false;
    ApplyZip64Extra(extra, {&e.uncompressedSize, &e.compressedSize, &e.localOffset});
    return true;
}

}  // namespace

void ApplyZip64Extra(Bytes extra, std::initializer_list<std::uint64_t*> fields) {
    ByteReader r(extra);
    while (r.remaining() >= 4) {
        const std::uint16_t id = r.u16();
        const std::uint16_t length = r.u16();
        ByteReader values(r.bytes(length));
        if (!r.ok()) return;
        if (id != kZip64ExtraId) continue;
        for (std::uint64_t* field : fields)
            if (*field == kMax32) *field = values.u64();
        return;
    }
}

bool LooksLikeZip(Bytes data) {
    return data.size() >= end::kSize && ReadField(data, local::kSignatureField) == local::kSignature;
}

std::optional<Bytes> EntryData(Bytes archive, const Entry& entry) {
    if (entry.localOffset > archive.size()) return std::nullopt;
    const std::size_t at = static_cast<std::size_t>(entry.localOffset);
    ByteReader r(archive);
    if (r.get(local::kSignatureField, at) != local::kSignature) return std::nullopt;
    const std::size_t dataAt = at + local::kSize + r.get(local::kNameLength, at) + r.get(local::kExtraLength, at);
    if (!r.ok() || dataAt > archive.size() || entry.compressedSize > archive.size() - dataAt) return std::nullopt;
    return archive.subspan(dataAt, static_cast<std::size_t>(entry.compressedSize));
}

std::optional<Archive> Archive::Open(Bytes data, std::string* error, WorkBudget* budget) {
    Archive a;
    a.m_data = data;
    a.m_budget = budget;
    std::string reason;
    if (!a.Load(reason)) {
        if (error) *error = reason;
        return std::nullopt;
    }
    return a;
}

bool Archive::Load(std::string& error) {
    if (m_data.size() < end::kSize || m_data.size() > limits::kMaxDocumentBytes) return Fail(error, "not a ZIP package");
    const auto endAt = FindEndRecord(m_data);
    if (!endAt) return Fail(error, "no end of central directory");
    DirectoryPlace place;
    if (!ReadDirectoryPlace(m_data, *endAt, place, error)) return false;
    if (place.count > limits::kMaxZipEntries) return Fail(error, "too many entries");
    if (m_budget && !m_budget->ChargeSteps(place.count)) return Fail(error, "too much work to read the package");
    if (place.offset > m_data.size() || place.size > m_data.size() - place.offset)
        return Fail(error, "central directory out of range");
    const Bytes directory = m_data.subspan(static_cast<std::size_t>(place.offset), static_cast<std::size_t>(place.size));
    ByteReader c(directory);
    for (std::uint64_t i = 0; i < place.count; ++i) {
        Entry e;
        if (!ReadCentralRecord(c, e)) return Fail(error, c.ok() ? "bad central directory entry" : "truncated central directory");
        if (e.localOffset >= m_data.size() || e.compressedSize > m_data.size())
            return Fail(error, "entry out of range");
        m_byLowerName.emplace(LowerAscii(e.name), m_entries.size());
        m_entries.push_back(std::move(e));
    }
    CheckMembers(place.offset, place.size);
    return true;
}

std::optional<std::size_t> Archive::Find(std::string_view name) const {
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    const auto it = m_byLowerName.find(LowerAscii(name));
    if (it == m_byLowerName.end()) return std::nullopt;
    return it->second;
}

std::optional<ByteVec> Archive::Read(std::size_t index, std::string* error) const {
    auto fail = [&](std::string reason) -> std::optional<ByteVec> {
        if (error) *error = std::move(reason);
        return std::nullopt;
    };
    if (index >= m_entries.size()) return fail("no such entry");
    const Entry& e = m_entries[index];
    if (e.uncompressedSize > limits::kMaxZipEntryBytes || m_inflatedTotal + e.uncompressedSize > limits::kMaxZipTotalBytes)
        return fail("entry beyond decompression limits");
    if (auto refused = RefuseBeforeInflating(e)) return fail(*refused);
    if (m_budget && !m_budget->ChargeDecompressed(e.uncompressedSize)) return fail("too much work to read the package");
    const Bytes packed = m_data.subspan(static_cast<std::size_t>(e.dataOffset), static_cast<std::size_t>(e.compressedSize));
    ByteVec out;
    if (e.method == kMethodStored) {
        out.assign(packed.begin(), packed.end());
    } else {
        out.resize(static_cast<std::size_t>(e.uncompressedSize));
        std::uint8_t spare = 0;  // zlib wants somewhere to write even for an empty entry
        InflateStream zs(-MAX_WBITS);
        if (!zs.ok()) return fail("inflate unavailable");
        zs->next_in = const_cast<Bytef*>(packed.data());
        zs->avail_in = static_cast<uInt>(packed.size());
        zs->next_out = out.empty() ? &spare : out.data();
        zs->avail_out = static_cast<uInt>(out.size());
        int rc = inflate(zs.get(), Z_FINISH);
        // Output space exactly the declared size: more data than declared stops with Z_BUF_ERROR.
        if (out.empty() && rc == Z_BUF_ERROR) {
            zs->avail_out = 1;
            rc = inflate(zs.get(), Z_FINISH);
        }
        if (rc != Z_STREAM_END || zs->total_out != out.size()) return fail("bad deflate data");
    }
    if (crc32_z(0L, out.data(), out.size()) != e.crc) return fail("CRC mismatch");
    m_inflatedTotal += out.size();
    return out;
}

std::optional<ByteVec> Archive::Read(std::string_view name) const {
    auto index = Find(name);
    if (!index) return std::nullopt;
    return Read(*index);
}

}  // namespace tessaly::analysis::zip
