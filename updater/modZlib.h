// Compression of the update request: UTF-8 bytes, zlib at level 6, upper-case hex.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::updater {

// Sizes dest to n x 1.01 + 12 bytes (rounded half to even) and compresses src into it; the
// compressed length, or -1 when zlib reports a failure.
std::int32_t CompressBytes(std::vector<unsigned char>& dest, const std::vector<unsigned char>& src, int level);
// Hex of the compressed UTF-8 bytes of the text; "" on any failure.
std::wstring CompressToHex(const std::wstring& text);

}  // namespace tessaly::updater
