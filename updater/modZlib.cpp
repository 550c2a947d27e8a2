// zlib compression of the update request; see modZlib.h.
#include "modZlib.h"

#include <zlib.h>

#include <cmath>

#include "FaultLog.h"
#include "modCommon.h"

namespace tessaly::updater {
namespace {

constexpr int kRequestLevel = 6;

std::size_t Capacity(std::size_t n) {
    // std::nearbyint rounds half to even in the default rounding mode.
    return static_cast<std::size_t>(std::nearbyint(static_cast<double>(n) * 1.01 + 12.0));
}

}  // namespace

std::int32_t CompressBytes(std::vector<unsigned char>& dest, const std::vector<unsigned char>& src, int level) {
    dest.assign(Capacity(src.size()), 0);
    uLongf length = static_cast<uLongf>(dest.size());
    // The capacity is below zlib's own bound for tiny inputs; a result that does not fit is
    // reported, never cut off.
    if (compress2(dest.data(), &length, src.data(), static_cast<uLong>(src.size()), level) != Z_OK) return -1;
    return static_cast<std::int32_t>(length);
}

std::wstring CompressToHex(const std::wstring& text) {
    try {
        const ByteSequence bytes = TextToUtf8Bytes(text);
        std::vector<unsigned char> packed;
        const std::int32_t length = CompressBytes(packed, bytes, kRequestLevel);
        if (length < 0) return {};
        packed.resize(static_cast<std::size_t>(length));
        return BytesToHex(packed);
    } catch (...) {
        LogCaughtFault(L"CompressToHex");
        return {};
    }
}

}  // namespace tessaly::updater
