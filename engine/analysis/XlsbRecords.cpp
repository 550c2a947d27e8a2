// Record types use at most two bytes and sizes at most four, as the format allows; anything longer
// or running past the part fails the listing.
#include "XlsbRecords.h"

#include "Limits.h"
#include "Text.h"
#include "XlsbFormat.h"

namespace tessaly::analysis::xlsb {

std::optional<std::vector<Record>> ListRecords(Bytes part) {
    std::vector<Record> records;
    ByteReader r(part);
    while (!r.atEnd()) {
        if (records.size() >= limits::kMaxBiffRecords) return std::nullopt;
        Record rec;
        rec.offset = r.pos();
        std::uint8_t b = r.u8();
        rec.type = b & 0x7F;
        if (b & 0x80) {
            b = r.u8();
            if (b & 0x80) return std::nullopt;
            rec.type |= static_cast<std::uint32_t>(b) << 7;
        }
        for (int shift = 0;; shift += 7) {
            b = r.u8();
            rec.size |= static_cast<std::uint32_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) break;
            if (shift == 21) return std::nullopt;
        }
        rec.dataOffset = r.pos();
        r.skip(rec.size);
        if (!r.ok()) return std::nullopt;
        records.push_back(rec);
    }
    return records;
}

ByteVec MakeRecord(std::uint32_t type, Bytes data) {
    ByteVec out;
    if (type < 0x80) {
        out.push_back(static_cast<std::uint8_t>(type));
    } else {
        out.push_back(static_cast<std::uint8_t>((type & 0x7F) | 0x80));
        out.push_back(static_cast<std::uint8_t>((type >> 7) & 0x7F));
    }
    std::size_t size = data.size();
    do {
        std::uint8_t b = size & 0x7F;
        size >>= 7;
        if (size) b |= 0x80;
        out.push_back(b);
    } while (size);
    PutBytes(out, data);
    return out;
}

std::optional<std::string> ReadWideString(ByteReader& r, bool* isNull) {
    const std::uint32_t count = r.u32();
    if (isNull) *isNull = count == kNullString;
    if (count == kNullString) return std::string{};
    if (!r.ok() || count > limits::kMaxXlsbStringChars) return std::nullopt;
    const Bytes units = r.bytes(static_cast<std::size_t>(count) * 2);
    if (!r.ok()) return std::nullopt;
    return Utf16LeToUtf8(units);
}

void PutWideString(ByteVec& out, std::string_view ascii) {
    PutU32(out, static_cast<std::uint32_t>(ascii.size()));
    for (char c : ascii) PutU16(out, static_cast<std::uint8_t>(c));
}

}  // namespace tessaly::analysis::xlsb
