// Positions are moved on the old stream's records first (the only fields that hold absolute
// positions are known), then the pieces are stitched together. A stored position that pointed into
// a removed range would leave Excel reading the wrong record, so that fails the whole edit.
#include "BiffStreamEdit.h"

#include <algorithm>

#include "Limits.h"

namespace tessaly::analysis::biff {

// Where old positions go, over edits sorted by offset that do not overlap.
class StreamEdit::Relocation {
public:
    explicit Relocation(const std::vector<Edit>& edits) : m_edits(edits) {
        std::int64_t shift = 0;
        for (const Edit& e : edits) {
            shift += static_cast<std::int64_t>(e.bytes.size()) - static_cast<std::int64_t>(e.length);
            m_shiftAfter.push_back(shift);
        }
    }

    // nullopt for a position inside a removed or replaced range, other than the start of a
    // replaced record (which stays a valid target).
    [[nodiscard]] std::optional<std::uint32_t> Moved(std::uint32_t position) const {
        const std::size_t count = EditsUpTo(position);
        std::int64_t shift = count ? m_shiftAfter[count - 1] : 0;
        if (count && Covers(m_edits[count - 1], position)) {
            if (position != m_edits[count - 1].offset || m_edits[count - 1].bytes.empty()) return std::nullopt;
            shift = count > 1 ? m_shiftAfter[count - 2] : 0;
        }
        const std::int64_t moved = static_cast<std::int64_t>(position) + shift;
        if (moved < 0 || moved > 0xFFFFFFFFll) return std::nullopt;
        return static_cast<std::uint32_t>(moved);
    }

    // Whether the byte at `offset` is removed or replaced.
    [[nodiscard]] bool Edited(std::size_t offset) const {
        const std::size_t count = EditsUpTo(offset);
        return count && Covers(m_edits[count - 1], offset);
    }

private:
    // The number of edits that start at or before `offset`; only the last of them can cover it.
    [[nodiscard]] std::size_t EditsUpTo(std::size_t offset) const {
        const auto after = std::upper_bound(m_edits.begin(), m_edits.end(), offset,
                                            [](std::size_t at, const Edit& e) { return at < e.offset; });
        return static_cast<std::size_t>(after - m_edits.begin());
    }
    static bool Covers(const Edit& e, std::size_t offset) { return !e.insertion && offset < e.offset + e.length; }

    const std::vector<Edit>& m_edits;
    std::vector<std::int64_t> m_shiftAfter;  // total size change up to and including each edit
};

namespace {

// Moves the stored positions of `records` (those inside `bytes`) through `moved`; records for
// which `skip` says so are left alone.
template <typename Move, typename Skip>
bool MovePositions(std::span<std::uint8_t> bytes, const std::vector<RecordSpan>& records, Move&& moved, Skip&& skip) {
    bool ok = true;
    for (const RecordSpan& rec : records) {
        if (skip(rec)) continue;
        ForEachPositionField(rec.id, rec.size, [&](std::size_t field) {
            const Field<std::uint32_t> position{rec.dataOffset() + field};
            const auto target = ok ? ReadField(Bytes(bytes), position) : std::nullopt;
            const auto to = target ? moved(*target) : std::nullopt;
            if (!to) {
                ok = false;
                return;
            }
            SetField(bytes, position, *to);
        });
        if (!ok) return false;
    }
    return true;
}

}  // namespace

std::optional<std::vector<RecordSpan>> ListRecords(Bytes stream) {
    std::vector<RecordSpan> records;
    ByteReader r(stream);
    for (std::size_t at = 0; stream.size() - at >= record::kHeaderSize;) {
        if (records.size() >= limits::kMaxBiffRecords) return std::nullopt;
        RecordSpan rec;
        rec.offset = at;
        rec.id = r.get(record::kId, at);
        rec.size = r.get(record::kLength, at);
        if (!r.ok() || stream.size() - rec.dataOffset() < rec.size) return std::nullopt;
        records.push_back(rec);
        at = rec.end();
    }
    return records;
}

ByteVec MakeRecord(std::uint16_t id, Bytes data) {
    ByteVec out;
    out.reserve(record::kHeaderSize + data.size());
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

std::optional<ByteVec> StreamEdit::Apply() const {
    std::vector<Edit> edits = m_edits;
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
        return a.offset != b.offset ? a.offset < b.offset : (a.insertion && !b.insertion);
    });
    for (std::size_t i = 0; i < edits.size(); ++i) {
        if (edits[i].offset > m_stream.size() || m_stream.size() - edits[i].offset < edits[i].length) return std::nullopt;
        if (i > 0 && edits[i - 1].offset + edits[i - 1].length > edits[i].offset) return std::nullopt;
    }
    auto records = ListRecords(m_stream);
    if (!records) return std::nullopt;
    const Relocation relocation(edits);
    auto moved = [&](std::uint32_t position) { return relocation.Moved(position); };

    // Fields of records that are themselves removed or replaced are not the stream's any more.
    ByteVec old(m_stream.begin(), m_stream.end());
    if (!MovePositions(old, *records, moved, [&](const RecordSpan& rec) { return relocation.Edited(rec.offset); }))
        return std::nullopt;
    ByteVec out;
    out.reserve(old.size() + 64);
    std::size_t from = 0;
    for (const Edit& e : edits) {
        out.insert(out.end(), old.begin() + static_cast<std::ptrdiff_t>(from), old.begin() + static_cast<std::ptrdiff_t>(e.offset));
        ByteVec bytes = e.bytes;
        if (!e.insertion && !bytes.empty()) {
            // A replacement record holds old-stream positions like any other; they move the same way.
            auto replaced = ListRecords(bytes);
            if (!replaced || !MovePositions(bytes, *replaced, moved, [](const RecordSpan&) { return false; })) return std::nullopt;
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
        from = e.offset + e.length;
    }
    out.insert(out.end(), old.begin() + static_cast<std::ptrdiff_t>(from), old.end());
    return out;
}

}  // namespace tessaly::analysis::biff
