// Random access to bytes that may lie scattered in a file: a stream of a compound file, or a plain
// span. Readers of large streams go through this, so a stream is read in pieces where it lies and
// never copied whole.
#pragma once

#include <algorithm>
#include <functional>

#include "ByteReader.h"

namespace tessaly::analysis {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    [[nodiscard]] virtual std::uint64_t size() const = 0;
    // `n` bytes at `offset`: a view into the file where they lie in one piece, otherwise a copy in
    // `scratch`. Shorter than `n` only at the end of the source.
    virtual Bytes View(std::uint64_t offset, std::size_t n, ByteVec& scratch) const = 0;
    // Consecutive views covering the whole source in order, until `visit` returns false. Returns
    // false when it stopped early.
    virtual bool ForEachPiece(const std::function<bool(Bytes)>& visit) const = 0;
};

class SpanSource final : public ByteSource {
public:
    explicit SpanSource(Bytes bytes) : m_bytes(bytes) {}
    [[nodiscard]] std::uint64_t size() const override { return m_bytes.size(); }
    Bytes View(std::uint64_t offset, std::size_t n, ByteVec&) const override {
        if (offset >= m_bytes.size()) return {};
        return m_bytes.subspan(static_cast<std::size_t>(offset), std::min<std::size_t>(n, m_bytes.size() - offset));
    }
    bool ForEachPiece(const std::function<bool(Bytes)>& visit) const override { return m_bytes.empty() || visit(m_bytes); }

private:
    Bytes m_bytes;
};

// Whether two sources hold the same bytes, compared piece by piece.
bool SameBytes(const ByteSource& a, const ByteSource& b);

}  // namespace tessaly::analysis
