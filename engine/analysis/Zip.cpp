// ZIP reading through the central directory (the local headers only locate the data), so an entry
// hidden from the directory is not part of the package, as for Office itself.
#include "Zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "Limits.h"

namespace tessaly::analysis::zip {
namespace {

constexpr std::uint32_t kLocalSig = 0x04034b50;
constexpr std::uint32_t kCentralSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kZip64EndSig = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;

bool Fail(std::string& error, const char* reason) {
    error = reason;
    return false;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

void ApplyZip64Extra(Bytes extra, Entry& e, bool sizeMax, bool compMax, bool offsetMax) {
    ByteReader r(extra);
    while (r.remaining() >= 4) {
        const std::uint16_t id = r.u16();
        const std::uint16_t length = r.u16();
        ByteReader field(r.bytes(length));
        if (!r.ok()) return;
        if (id != 0x0001) continue;
        if (sizeMax) e.uncompressedSize = field.u64();
        if (compMax) e.compressedSize = field.u64();
        if (offsetMax) e.localOffset = field.u64();
        return;
    }
}

}  // namespace

bool LooksLikeZip(Bytes data) {
    return data.size() >= 22 && ReadU32(data, 0) == kLocalSig;
}

std::optional<Archive> Archive::Open(Bytes data, std::string* error) {
    Archive a;
    a.m_data = data;
    std::string reason;
    if (!a.Load(reason)) {
        if (error) *error = reason;
        return std::nullopt;
    }
    return a;
}

bool Archive::Load(std::string& error) {
    if (m_data.size() < 22 || m_data.size() > limits::kMaxDocumentBytes) return Fail(error, "not a ZIP package");
    // The end record lies within the last 64 KiB plus its own size (the comment's limit).
    std::size_t end = std::string::npos;
    const std::size_t lowest = m_data.size() > 22 + 65535 ? m_data.size() - 22 - 65535 : 0;
    for (std::size_t at = m_data.size() - 22 + 1; at-- > lowest;) {
        if (ReadU32(m_data, at) == kEndSig) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos) return Fail(error, "no end of central directory");
    ByteReader r(m_data, end + 4);
    r.u16();
    r.u16();
    r.u16();
    std::uint64_t count = r.u16();
    std::uint64_t dirSize = r.u32();
    std::uint64_t dirOffset = r.u32();
    if (count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) {
        if (end < 20 || ReadU32(m_data, end - 20) != kZip64LocatorSig) return Fail(error, "missing ZIP64 locator");
        ByteReader loc(m_data, end - 20 + 8);
        const std::uint64_t at = loc.u64();
        if (at > m_data.size() || ReadU32(m_data, static_cast<std::size_t>(at)) != kZip64EndSig)
            return Fail(error, "bad ZIP64 end record");
        ByteReader z(m_data, static_cast<std::size_t>(at) + 24);
        z.u64();
        count = z.u64();
        dirSize = z.u64();
        dirOffset = z.u64();
        if (!z.ok()) return Fail(error, "bad ZIP64 end record");
    }
    if (count > limits::kMaxZipEntries) return Fail(error, "too many entries");
    if (dirOffset > m_data.size() || dirSize > m_data.size() - dirOffset) return Fail(error, "central directory out of range");
    ByteReader c(m_data.subspan(static_cast<std::size_t>(dirOffset), static_cast<std::size_t>(dirSize)));
    for (std::uint64_t i = 0; i < count; ++i) {
        if (c.u32() != kCentralSig) return Fail(error, "bad central directory entry");
        Entry e;
        c.u16();
        c.u16();
        e.flags = c.u16();
        e.method = c.u16();
        e.modTime = c.u16();
        e.modDate = c.u16();
        e.crc = c.u32();
        e.compressedSize = c.u32();
        e.uncompressedSize = c.u32();
        const std::uint16_t nameLength = c.u16();
        const std::uint16_t extraLength = c.u16();
        const std::uint16_t commentLength = c.u16();
        c.u16();
        c.u16();
        c.u32();
        e.localOffset = c.u32();
        e.name = c.text(nameLength);
        Bytes extra = c.bytes(extraLength);
        c.skip(commentLength);
        if (!c.ok()) return Fail(error, "truncated central directory");
        ApplyZip64Extra(extra, e, e.uncompressedSize == 0xFFFFFFFF, e.compressedSize == 0xFFFFFFFF,
                        e.localOffset == 0xFFFFFFFF);
        if (e.localOffset >= m_data.size() || e.compressedSize > m_data.size())
            return Fail(error, "entry out of range");
        m_entries.push_back(std::move(e));
    }
    return true;
}

std::optional<std::size_t> Archive::Find(std::string_view name) const {
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (SameName(m_entries[i].name, name)) return i;
    return std::nullopt;
}

std::optional<ByteVec> Archive::Read(std::size_t index, std::string* error) const {
    auto fail = [&](const char* reason) -> std::optional<ByteVec> {
        if (error) *error = reason;
        return std::nullopt;
    };
    if (index >= m_entries.size()) return fail("no such entry");
    const Entry& e = m_entries[index];
    if (e.encrypted()) return fail("encrypted entry");
    const std::size_t at = static_cast<std::size_t>(e.localOffset);
    if (ReadU32(m_data, at) != kLocalSig) return fail("bad local header");
    const std::size_t dataAt = at + 30 + ReadU16(m_data, at + 26) + ReadU16(m_data, at + 28);
    if (dataAt > m_data.size() || e.compressedSize > m_data.size() - dataAt) return fail("entry data out of range");
    if (e.uncompressedSize > limits::kMaxZipEntryBytes ||
        e.uncompressedSize > std::max<std::uint64_t>(e.compressedSize, 1024) * limits::kMaxZipRatio ||
        m_inflatedTotal + e.uncompressedSize > limits::kMaxZipTotalBytes)
        return fail("entry beyond decompression limits");
    Bytes packed = m_data.subspan(dataAt, static_cast<std::size_t>(e.compressedSize));
    ByteVec out;
    if (e.method == 0) {
        if (e.compressedSize != e.uncompressedSize) return fail("stored size mismatch");
        out.assign(packed.begin(), packed.end());
    } else if (e.method == 8) {
        out.resize(static_cast<std::size_t>(e.uncompressedSize));
        std::uint8_t spare = 0;  // zlib wants somewhere to write even for an empty entry
        z_stream zs{};
        if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return fail("inflate unavailable");
        zs.next_in = const_cast<Bytef*>(packed.data());
        zs.avail_in = static_cast<uInt>(packed.size());
        zs.next_out = out.empty() ? &spare : out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        int rc = inflate(&zs, Z_FINISH);
        // Output space exactly the declared size: more data than declared stops with Z_BUF_ERROR.
        if (out.empty() && rc == Z_BUF_ERROR) {
            zs.avail_out = 1;
            rc = inflate(&zs, Z_FINISH);
        }
        const bool complete = rc == Z_STREAM_END && zs.total_out == out.size();
        inflateEnd(&zs);
        if (!complete) return fail("bad deflate data");
    } else {
        return fail("unsupported compression method");
    }
    if (crc32(0L, out.data(), static_cast<uInt>(out.size())) != e.crc) return fail("CRC mismatch");
    m_inflatedTotal += out.size();
    return out;
}

std::optional<ByteVec> Archive::Read(std::string_view name) const {
    auto index = Find(name);
    if (!index) return std::nullopt;
    return Read(*index);
}

}  // namespace tessaly::analysis::zip
