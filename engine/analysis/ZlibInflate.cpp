// The declared size is a hint, not a promise: the buffer grows in steps up to the cap, so a
// lying size can neither make us allocate gigabytes nor cut a genuine storage short.
#include "ZlibInflate.h"

#include <algorithm>

#include "ZlibStream.h"

namespace tessaly::analysis {

std::optional<ByteVec> InflateZlib(Bytes packed, std::size_t expected, std::size_t maxBytes, WorkBudget* budget) {
    if (maxBytes == 0) return std::nullopt;
    InflateStream zs(MAX_WBITS);
    if (!zs.ok()) return std::nullopt;
    constexpr std::size_t kFirstBuffer = 1u << 20;
    ByteVec out(std::min({std::max<std::size_t>(expected, 4096), kFirstBuffer, maxBytes}));
    zs->next_in = const_cast<Bytef*>(packed.data());
    zs->avail_in = static_cast<uInt>(packed.size());
    int rc = Z_OK;
    while (true) {
        const std::size_t before = zs->total_out;
        zs->next_out = out.data() + zs->total_out;
        zs->avail_out = static_cast<uInt>(out.size() - zs->total_out);
        rc = inflate(zs.get(), Z_NO_FLUSH);
        if (budget && !budget->ChargeDecompressed(zs->total_out - before)) return std::nullopt;
        if (rc != Z_OK || zs->avail_out != 0) break;
        if (out.size() >= maxBytes) break;
        out.resize(std::min(out.size() * 2, maxBytes));
    }
    if (rc != Z_STREAM_END) return std::nullopt;
    out.resize(zs->total_out);
    return out;
}

}  // namespace tessaly::analysis
