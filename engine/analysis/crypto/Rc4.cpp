// Key scheduling and output exactly as the cipher defines them; an empty key is the caller's fault
// and yields the identity permutation's stream rather than a division by zero.
#include "Rc4.h"

#include <utility>

namespace tessaly::analysis::crypto {

Rc4::Rc4(std::span<const std::uint8_t> key) {
    for (std::size_t i = 0; i < 256; ++i) m_s[i] = static_cast<std::uint8_t>(i);
    if (key.empty()) return;
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + m_s[i] + key[i % key.size()]);
        std::swap(m_s[i], m_s[j]);
    }
}

std::uint8_t Rc4::Next() {
    m_i = static_cast<std::uint8_t>(m_i + 1);
    m_j = static_cast<std::uint8_t>(m_j + m_s[m_i]);
    std::swap(m_s[m_i], m_s[m_j]);
    return m_s[static_cast<std::uint8_t>(m_s[m_i] + m_s[m_j])];
}

void Rc4::Apply(std::span<std::uint8_t> data) {
    for (std::uint8_t& b : data) b ^= Next();
}

void Rc4::Skip(std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) Next();
}

}  // namespace tessaly::analysis::crypto
