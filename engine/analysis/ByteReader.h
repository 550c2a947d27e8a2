// Bounds-checked little-endian reading over a byte span: every structure the readers decode goes
// through this, so an out-of-range field is a failed read and never an out-of-range access. On-disk
// fields are named once, as Field<T> constants in each format's table (CfbFormat.h, ZipFormat.h...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tessaly::analysis {

using Bytes = std::span<const std::uint8_t>;
using ByteVec = std::vector<std::uint8_t>;

// A little-endian unsigned field of an on-disk structure, at `offset` from the structure's start.
template <typename T>
struct Field {
    static_assert(std::is_unsigned_v<T>);
    std::size_t offset;
    [[nodiscard]] constexpr std::size_t end() const { return offset + sizeof(T); }
};

class ByteReader {
public:
    explicit ByteReader(Bytes data, std::size_t offset = 0) : m_data(data), m_pos(offset) {}

    // False once any read ran past the end; every value read after that is 0.
    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] std::size_t pos() const { return m_pos; }
    [[nodiscard]] std::size_t remaining() const { return m_pos <= m_data.size() ? m_data.size() - m_pos : 0; }
    [[nodiscard]] bool atEnd() const { return remaining() == 0; }

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::uint64_t u64() { return take(8); }

    // A field of the structure that starts at `base`, without moving the position.
    template <typename T>
    T get(Field<T> field, std::size_t base = 0) {
        const std::size_t at = base + field.offset;
        if (!m_ok || at < base || at > m_data.size() || m_data.size() - at < sizeof(T)) {
            m_ok = false;
            return 0;
        }
        return static_cast<T>(Decode(at, sizeof(T)));
    }

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
    std::uint64_t Decode(std::size_t at, std::size_t n) const {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(m_data[at + i]) << (8 * i);
        return v;
    }
    std::uint64_t take(std::size_t n) {
        if (!need(n)) return 0;
        const std::uint64_t v = Decode(m_pos, n);
        m_pos += n;
        return v;
    }

    Bytes m_data;
    std::size_t m_pos;
    bool m_ok = true;
};

// One checked field read; nullopt when the field does not lie inside `data`.
template <typename T>
std::optional<T> ReadField(Bytes data, Field<T> field, std::size_t base = 0) {
    ByteReader r(data);
    const T v = r.get(field, base);
    if (!r.ok()) return std::nullopt;
    return v;
}
template <typename T>
std::optional<T> ReadAt(Bytes data, std::size_t at) {
    return ReadField(data, Field<T>{0}, at);
}

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

// Writes a field of the structure at `base` inside a buffer the writer sized itself: a field
// outside it is the writer's own fault, never the input's.
template <typename T>
void SetField(std::span<std::uint8_t> out, Field<T> field, T value, std::size_t base = 0) {
    const std::size_t at = base + field.offset;
    if (at > out.size() || out.size() - at < sizeof(T)) throw std::logic_error("field written outside its buffer");
    for (std::size_t i = 0; i < sizeof(T); ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace tessaly::analysis
