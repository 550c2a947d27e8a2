// Positions are relocated on the old stream's records first (the only fields that hold absolute
// positions are known), then the pieces are stitched together. A stored position that pointed into
// a removed range would leave Excel reading the wrong record, so that fails the whole edit.
#include "BiffStreamEdit.h"

#include <algorithm>

#include "Limits.h"

namespace tessaly::analysis::biff {
namespace {

void PutU32At(ByteVec& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Offsets, inside a record's data, of the absolute stream positions it holds.
std::vector<std::size_t> PositionFields(const RecordSpan& rec) {
    std::vector<std::size_t> fields;
    if (rec.id == kRecBoundSheet && rec.size >= 4) fields.push_back(0);
    if (rec.id == kRecIndex && rec.size >= 16)
        for (std::size_t at = 12; at + 4 <= rec.size; at += 4) fields.push_back(at);
    if (rec.id == kRecExtSst)
        for (std::size_t at = 2; at + 8 <= rec.size; at += 8) fields.push_back(at);
    return fields;
}

}  // namespace

std::optional<std::vector<RecordSpan>> ListRecords(Bytes stream) {
    std::vector<RecordSpan> records;
    ByteReader r(stream);
    while (r.remaining() >= 4) {
        if (records.size() >= limits::kMaxBiffRecords) return std::nullopt;
        RecordSpan rec;
        rec.offset = r.pos();
        rec.id = r.u16();
        rec.size = r.u16();
        r.skip(rec.size);
        if (!r.ok()) return std::nullopt;
        records.push_back(rec);
    }
    return records;
}

ByteVec MakeRecord(std::uint16_t id, Bytes data) {
    ByteVec out;
    PutU16(out, id);
    PutU16(out, static_cast<std::uint16_t>(data.size()));
    PutBytes(out, data);
    return out;
}

void StreamEdit::Remove(std::size_t offset, std::size_t length) { m_edits.push_back({offset, length, {}, false}); }

void StreamEdit::Replace(const RecordSpan& old, ByteVec record) {
    m_edits.push_back({old.offset, old.end() - old.offset, std::move(record), false});
}

void StreamEdit::Insert(std::size_t offset, ByteVec bytes) { m_edits.push_back({offset, 0, std::move(bytes), true}); }

std::optional<std::uint32_t> StreamEdit::Relocated(std::uint32_t position, const std::vector<Edit>& edits) const {
    std::int64_t shift = 0;
    for (const Edit& e : edits) {
        if (e.offset > position) break;
        if (e.insertion) {
            shift += static_cast<std::int64_t>(e.bytes.size());
            continue;
        }
        if (position >= e.offset + e.length) {
            shift += static_cast<std::int64_t>(e.bytes.size()) - static_cast<std::int64_t>(e.length);
            continue;
        }
        // Inside an edited range: only the start of a replaced record stays a valid target.
        if (position != e.offset || e.bytes.empty()) return std::nullopt;
    }
    const std::int64_t moved = static_cast<std::int64_t>(position) + shift;
    if (moved < 0 || moved > 0xFFFFFFFFll) return std::nullopt;
    return static_cast<std::uint32_t>(moved);
}

std::optional<ByteVec> StreamEdit::Apply() const {
    std::vector<Edit> edits = m_edits;
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
        return a.offset != b.offset ? a.offset < b.offset : (a.insertion && !b.insertion);
    });
    for (std::size_t i = 0; i < edits.size(); ++i) {
        if (edits[i].offset + edits[i].length > m_stream.size()) return std::nullopt;
        if (i > 0 && edits[i - 1].offset + edits[i - 1].length > edits[i].offset) return std::nullopt;
    }
    auto records = ListRecords(m_stream);
    if (!records) return std::nullopt;

    ByteVec old(m_stream.begin(), m_stream.end());
    for (const RecordSpan& rec : *records) {
        // Fields of records that are themselves removed or replaced are not the stream's any more.
        const bool edited = std::any_of(edits.begin(), edits.end(), [&](const Edit& e) {
            return !e.insertion && rec.offset >= e.offset && rec.offset < e.offset + e.length;
        });
        if (edited) continue;
        for (std::size_t field : PositionFields(rec)) {
            const std::size_t at = rec.dataOffset() + field;
            ByteReader r(m_stream, at);
            const std::uint32_t position = r.u32();
            if (!r.ok()) return std::nullopt;
            auto moved = Relocated(position, edits);
            if (!moved) return std::nullopt;
            PutU32At(old, at, *moved);
        }
    }
    ByteVec out;
    out.reserve(old.size() + 64);
    std::size_t from = 0;
    for (const Edit& e : edits) {
        out.insert(out.end(), old.begin() + static_cast<std::ptrdiff_t>(from), old.begin() + static_cast<std::ptrdiff_t>(e.offset));
        ByteVec bytes = e.bytes;
        if (!e.insertion && !bytes.empty()) {
            // A replacement record holds old-stream positions like any other; they move the same way.
            auto replaced = ListRecords(bytes);
            if (!replaced) return std::nullopt;
            for (const RecordSpan& rec : *replaced)
                for (std::size_t field : PositionFields(rec)) {
                    ByteReader r(bytes, rec.dataOffset() + field);
                    auto moved = Relocated(r.u32(), edits);
                    if (!r.ok() || !moved) return std::nullopt;
                    PutU32At(bytes, rec.dataOffset() + field, *moved);
                }
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
        from = e.offset + e.length;
    }
    out.insert(out.end(), old.begin() + static_cast<std::ptrdiff_t>(from), old.end());
    return out;
}

}  // namespace tessaly::analysis::biff
