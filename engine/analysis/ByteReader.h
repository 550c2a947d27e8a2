// Bounds-checked little-endian reading over a byte span: every structure the readers decode goes
// through this, so an out-of-range field is a failed read and never an out-of-range access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::analysis {

using Bytes = std::span<const std::uint8_t>;

class ByteReader {
public:
    explicit ByteReader(Bytes data, std::size_t offset = 0) : m_data(data), m_pos(offset) {}

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] std::size_t pos() const { return m_pos; }
    [[nodiscard]] std::size_t remaining() const { return m_pos <= m_data.size() ? m_data.size() - m_pos : 0; }
    [[nodiscard]] bool atEnd() const { return remaining() == 0; }

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::uint64_t u64() { return take(8); }

    void skip(std::size_t n) {
        if (!need(n)) return;
        m_pos += n;
    }
    Bytes bytes(std::size_t n) {
        if (!need(n)) return {};
        Bytes out = m_data.subspan(m_pos, n);
        m_pos += n;
        return out;
    }
    std::string text(std::size_t n) {
        Bytes b = bytes(n);
        return std::string(b.begin(), b.end());
    }

private:
    bool need(std::size_t n) {
        if (!m_ok || n > remaining()) {
            m_ok = false;
            return false;
        }
        return true;
    }
    std::uint64_t take(std::size_t n) {
        if (!need(n)) return 0;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(m_data[m_pos + i]) << (8 * i);
        m_pos += n;
        return v;
    }

    Bytes m_data;
    std::size_t m_pos;
    bool m_ok = true;
};

inline std::uint16_t ReadU16(Bytes d, std::size_t at) {
    return at + 2 <= d.size() ? static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8)) : 0;
}
inline std::uint32_t ReadU32(Bytes d, std::size_t at) {
    return at + 4 <= d.size() ? static_cast<std::uint32_t>(d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) |
                                                            (static_cast<std::uint32_t>(d[at + 3]) << 24))
                              : 0;
}

using ByteVec = std::vector<std::uint8_t>;

// Little-endian appending for the writers.
inline void PutU16(ByteVec& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(ByteVec& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}
inline void PutU64(ByteVec& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}
inline void PutBytes(ByteVec& out, Bytes b) { out.insert(out.end(), b.begin(), b.end()); }
inline void PutText(ByteVec& out, std::string_view t) { out.insert(out.end(), t.begin(), t.end()); }
inline void SetU16(ByteVec& out, std::size_t at, std::uint16_t v) {
    if (at + 2 > out.size()) return;
    out[at] = static_cast<std::uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace tessaly::analysis
