// SHA-1 compression: an 80-word schedule and four rounds of twenty steps.
#include "Sha1.h"

namespace tessaly::analysis::crypto {

void Sha1::Compress(Block block) {
    std::uint32_t w[80];
    for (std::size_t i = 0; i < 16; ++i) w[i] = LoadBigEndian32(block.data() + 4 * i);
    for (std::size_t i = 16; i < 80; ++i) w[i] = RotateLeft32(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3], e = m_state[4];
    for (std::size_t i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t t = RotateLeft32(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = RotateLeft32(b, 30);
        b = a;
        a = t;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
}

}  // namespace tessaly::analysis::crypto
