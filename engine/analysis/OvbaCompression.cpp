// Every copy token is checked against what the current chunk has produced so far, and the output
// is capped, so a hostile container can neither read outside the window nor grow without bound.
#include "OvbaCompression.h"

#include "Limits.h"

namespace tessaly::analysis::ovba {
namespace {

constexpr std::size_t kChunkSize = 4096;

unsigned CopyTokenBitCount(std::size_t produced) {
    unsigned bits = 4;
    while ((std::size_t{1} << bits) < produced) ++bits;
    return bits > 12 ? 12 : bits;
}

bool DecompressChunk(Bytes chunk, ByteVec& out) {
    const std::size_t chunkStart = out.size();
    std::size_t i = 0;
    while (i < chunk.size()) {
        const std::uint8_t flags = chunk[i++];
        for (int bit = 0; bit < 8 && i < chunk.size(); ++bit) {
            if ((flags & (1u << bit)) == 0) {
                out.push_back(chunk[i++]);
                continue;
            }
            if (i + 2 > chunk.size()) return false;
            const std::uint16_t token = static_cast<std::uint16_t>(chunk[i] | (chunk[i + 1] << 8));
            i += 2;
            const std::size_t produced = out.size() - chunkStart;
            if (produced == 0) return false;
            const unsigned bits = CopyTokenBitCount(produced);
            const std::size_t length = (token & (0xFFFFu >> bits)) + 3;
            const std::size_t offset = (token >> (16 - bits)) + 1;
            if (offset > produced || produced + length > kChunkSize) return false;
            // Overlapping copies are how runs are encoded, so copy byte by byte.
            const std::size_t from = out.size() - offset;
            for (std::size_t k = 0; k < length; ++k) out.push_back(out[from + k]);
        }
    }
    return out.size() - chunkStart <= kChunkSize;
}

}  // namespace

std::optional<ByteVec> Decompress(Bytes container) {
    if (container.empty() || container[0] != 0x01) return std::nullopt;
    ByteVec out;
    std::size_t at = 1;
    while (at < container.size()) {
        if (at + 2 > container.size()) return std::nullopt;
        const std::uint16_t header = ReadU16(container, at);
        at += 2;
        const std::size_t size = (header & 0x0FFFu) + 3 - 2;
        if (((header >> 12) & 0x7u) != 3) return std::nullopt;
        const bool compressed = (header & 0x8000u) != 0;
        if (!compressed) {
            // Raw chunk: always exactly 4096 bytes, whatever the size field says.
            if (at + kChunkSize > container.size()) return std::nullopt;
            out.insert(out.end(), container.begin() + static_cast<std::ptrdiff_t>(at),
                       container.begin() + static_cast<std::ptrdiff_t>(at + kChunkSize));
            at += kChunkSize;
        } else {
            const std::size_t take = at + size > container.size() ? container.size() - at : size;
            if (!DecompressChunk(container.subspan(at, take), out)) return std::nullopt;
            at += take;
        }
        if (out.size() > limits::kMaxModuleSourceBytes) return std::nullopt;
    }
    return out;
}

}  // namespace tessaly::analysis::ovba
