// Piecewise comparison of two byte sources.
#include "ByteSource.h"

#include <cstring>

namespace tessaly::analysis {

bool SameBytes(const ByteSource& a, const ByteSource& b) {
    if (a.size() != b.size()) return false;
    std::uint64_t offset = 0;
    ByteVec scratch;
    bool same = true;
    const bool whole = a.ForEachPiece([&](Bytes piece) {
        const Bytes other = b.View(offset, piece.size(), scratch);
        same = other.size() == piece.size() && std::memcmp(other.data(), piece.data(), piece.size()) == 0;
        offset += piece.size();
        return same;
    });
    return whole && same && offset == a.size();
}

}  // namespace tessaly::analysis
