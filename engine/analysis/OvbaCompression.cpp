// Every copy token is checked against what the current chunk has produced so far, and the output
// is capped, so a hostile container can neither read outside the window nor grow without bound.
#include "OvbaCompression.h"

#include <algorithm>

#include "Limits.h"

namespace tessaly::analysis::ovba {
namespace {

constexpr std::uint8_t kSignatureByte = 0x01;
constexpr std::size_t kChunkSize = 4096;
// Chunk header: 12 bits of size (minus 3), a 3-bit signature of 0b011, a compressed flag.
constexpr std::uint16_t kChunkSizeMask = 0x0FFF;
constexpr unsigned kChunkSignatureShift = 12;
constexpr std::uint16_t kChunkSignatureMask = 0x7;
constexpr std::uint16_t kChunkSignature = 3;
constexpr std::uint16_t kChunkCompressedFlag = 0x8000;

bool ValidChunkHeader(std::uint16_t header) {
    return ((header >> kChunkSignatureShift) & kChunkSignatureMask) == kChunkSignature;
}

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
            // Overlapping copies are how runs are encoded, so copy byte by byte, within room made first.
            const std::size_t to = out.size();
            out.resize(to + length);
            std::uint8_t* const base = out.data();
            for (std::size_t k = 0; k < length; ++k) base[to + k] = base[to - offset + k];
        }
    }
    return out.size() - chunkStart <= kChunkSize;
}

bool DecompressInto(Bytes container, std::size_t maxOutput, ByteVec& out) {
    if (container.empty() || container[0] != kSignatureByte) return false;
    ByteReader r(container, 1);
    while (!r.atEnd()) {
        const std::uint16_t header = r.u16();
        if (!r.ok() || !ValidChunkHeader(header)) return false;
        const std::size_t size = (header & kChunkSizeMask) + 3 - 2;
        if ((header & kChunkCompressedFlag) == 0) {
            // Raw chunk: always exactly 4096 bytes, whatever the size field says.
            const Bytes raw = r.bytes(kChunkSize);
            if (!r.ok()) return false;
            PutBytes(out, raw);
        } else if (!DecompressChunk(r.bytes(std::min(size, r.remaining())), out)) {
            return false;
        }
        if (out.size() > maxOutput) return false;
    }
    return true;
}

}  // namespace

bool StartsContainer(Bytes data) {
    const auto header = ReadAt<std::uint16_t>(data, 1);
    return header && data[0] == kSignatureByte && ValidChunkHeader(*header);
}

std::optional<ByteVec> Decompress(Bytes container) {
    std::size_t produced = 0;
    return Decompress(container, limits::kMaxModuleSourceBytes, produced);
}

std::optional<ByteVec> Decompress(Bytes container, std::size_t maxOutput, std::size_t& produced) {
    ByteVec out;
    const bool whole = DecompressInto(container, maxOutput, out);
    produced = out.size();
    if (!whole) return std::nullopt;
    return out;
}

}  // namespace tessaly::analysis::ovba
