// Four characters carry three bytes; "=" pads the last group.
#include "Base64.h"

#include <algorithm>

namespace tessaly::analysis::crypto {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int ValueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text) {
    std::vector<std::uint8_t> out;
    std::uint32_t group = 0;
    int count = 0, padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c == '=') {
            ++padding;
            group <<= 6;
            ++count;
        } else {
            const int v = ValueOf(c);
            if (v < 0 || padding > 0) return std::nullopt;
            group = (group << 6) | static_cast<std::uint32_t>(v);
            ++count;
        }
        if (count == 4) {
            if (padding > 2) return std::nullopt;
            out.push_back(static_cast<std::uint8_t>(group >> 16));
            if (padding < 2) out.push_back(static_cast<std::uint8_t>(group >> 8));
            if (padding < 1) out.push_back(static_cast<std::uint8_t>(group));
            group = 0;
            count = 0;
        }
    }
    if (count != 0) return std::nullopt;
    return out;
}

std::string Base64Encode(std::span<const std::uint8_t> data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, data.size() - i);
        std::uint32_t group = std::uint32_t{data[i]} << 16;
        if (n > 1) group |= std::uint32_t{data[i + 1]} << 8;
        if (n > 2) group |= data[i + 2];
        for (std::size_t k = 0; k < 4; ++k) out.push_back(k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=');
    }
    return out;
}

}  // namespace tessaly::analysis::crypto
