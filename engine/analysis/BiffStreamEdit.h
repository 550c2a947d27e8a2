// Record-level editing of a BIFF8 workbook stream held in memory: records are listed once, then
// removed, replaced or inserted, and the new stream is written with every absolute stream position
// it holds (BOUNDSHEET sheet offsets, INDEX, EXTSST) moved to where its target now is.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "BiffFormat.h"
#include "ByteReader.h"

namespace tessaly::analysis::biff {

struct RecordSpan {
    std::size_t offset = 0;  // of the header
    std::uint16_t id = 0;
    std::uint16_t size = 0;
    [[nodiscard]] std::size_t dataOffset() const { return offset + record::kHeaderSize; }
    [[nodiscard]] std::size_t end() const { return dataOffset() + size; }
};

// Every record of the stream in order; nullopt when one runs past the end or there are too many.
// Bytes after the last whole header (fewer than four) are ignored, as Excel ignores them.
std::optional<std::vector<RecordSpan>> ListRecords(Bytes stream);

class StreamEdit {
public:
    explicit StreamEdit(Bytes stream) : m_stream(stream) {}

    void Remove(std::size_t offset, std::size_t length);
    // `record` is a whole record, header included, written in place of the old bytes.
    void Replace(const RecordSpan& old, ByteVec record);
    // Bytes placed before whatever starts at `offset`; a position equal to `offset` moves past them.
    void Insert(std::size_t offset, ByteVec bytes);

    // The edited stream, or nullopt when a stored position pointed into removed bytes or the edits
    // overlap. Each stored position is moved by bisection over the edits, so the cost grows with
    // the stream, not with the product of its positions and the edits.
    [[nodiscard]] std::optional<ByteVec> Apply() const;

private:
    struct Edit {
        std::size_t offset;
        std::size_t length;  // bytes of the old stream replaced
        ByteVec bytes;       // what takes their place
        bool insertion;
    };
    class Relocation;

    Bytes m_stream;
    std::vector<Edit> m_edits;
};

// One record, header and data.
ByteVec MakeRecord(std::uint16_t id, Bytes data);

}  // namespace tessaly::analysis::biff
