// The S-box and the field products are derived at compile time from their definitions in GF(2^8),
// so no 256-entry table is typed in by hand.
#include "Aes.h"

#include <algorithm>

namespace tessaly::analysis::crypto {
namespace {

constexpr std::uint8_t Times2(std::uint8_t v) { return static_cast<std::uint8_t>((v << 1) ^ ((v & 0x80) ? 0x1B : 0)); }

constexpr std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    for (; b != 0; b >>= 1, a = Times2(a))
        if (b & 1) product ^= a;
    return product;
}

// Products by the MixColumns factors, in this order: 2, 3, 9, 11, 13, 14.
constexpr std::uint8_t kFactors[6] = {2, 3, 9, 11, 13, 14};

struct Tables {
    std::array<std::uint8_t, 256> sbox{};
    std::array<std::uint8_t, 256> inverse{};
    std::array<std::array<std::uint8_t, 256>, 6> times{};
};

constexpr Tables MakeTables() {
    Tables t;
    // Powers of the generator 3 give logarithms, and with them every multiplicative inverse.
    std::array<std::uint8_t, 255> power{};
    std::array<std::uint8_t, 256> log{};
    std::uint8_t p = 1;
    for (int i = 0; i < 255; ++i) {
        power[static_cast<std::size_t>(i)] = p;
        log[p] = static_cast<std::uint8_t>(i);
        p = Multiply(p, 3);
    }
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t inv = x == 0 ? 0 : power[static_cast<std::size_t>((255 - log[static_cast<std::size_t>(x)]) % 255)];
        std::uint8_t s = inv;
        for (int r = 1; r <= 4; ++r) s ^= static_cast<std::uint8_t>((inv << r) | (inv >> (8 - r)));
        s ^= 0x63;
        t.sbox[static_cast<std::size_t>(x)] = s;
        t.inverse[s] = static_cast<std::uint8_t>(x);
        for (std::size_t f = 0; f < 6; ++f) t.times[f][static_cast<std::size_t>(x)] = Multiply(static_cast<std::uint8_t>(x), kFactors[f]);
    }
    return t;
}

constexpr Tables kTables = MakeTables();

void AddRoundKey(std::uint8_t* state, const std::uint8_t* key) {
    for (int i = 0; i < 16; ++i) state[i] ^= key[i];
}

// The state is column-major as in FIPS 197: byte r + 4c is row r of column c.
void ShiftRows(std::uint8_t* s, bool inverse) {
    std::uint8_t t[16];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            const int from = inverse ? (c - r + 4) % 4 : (c + r) % 4;
            t[r + 4 * c] = s[r + 4 * from];
        }
    std::copy_n(t, 16, s);
}

void MixColumns(std::uint8_t* s) {
    const auto& x2 = kTables.times[0];
    const auto& x3 = kTables.times[1];
    for (int c = 0; c < 4; ++c) {
        std::uint8_t* col = s + 4 * c;
        const std::uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = x2[a0] ^ x3[a1] ^ a2 ^ a3;
        col[1] = a0 ^ x2[a1] ^ x3[a2] ^ a3;
        col[2] = a0 ^ a1 ^ x2[a2] ^ x3[a3];
        col[3] = x3[a0] ^ a1 ^ a2 ^ x2[a3];
    }
}

void InverseMixColumns(std::uint8_t* s) {
    const auto& x9 = kTables.times[2];
    const auto& x11 = kTables.times[3];
    const auto& x13 = kTables.times[4];
    const auto& x14 = kTables.times[5];
    for (int c = 0; c < 4; ++c) {
        std::uint8_t* col = s + 4 * c;
        const std::uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = x14[a0] ^ x11[a1] ^ x13[a2] ^ x9[a3];
        col[1] = x9[a0] ^ x14[a1] ^ x11[a2] ^ x13[a3];
        col[2] = x13[a0] ^ x9[a1] ^ x14[a2] ^ x11[a3];
        col[3] = x11[a0] ^ x13[a1] ^ x9[a2] ^ x14[a3];
    }
}

}  // namespace

Aes::Aes(std::span<const std::uint8_t> key) {
    const std::size_t nk = key.size() / 4;
    if (key.size() != 16 && key.size() != 24 && key.size() != 32) return;
    m_rounds = static_cast<int>(nk) + 6;
    const std::size_t words = 4 * (static_cast<std::size_t>(m_rounds) + 1);
    std::copy(key.begin(), key.end(), m_roundKeys.begin());
    std::uint8_t rcon = 1;
    for (std::size_t i = nk; i < words; ++i) {
        std::uint8_t t[4];
        std::copy_n(m_roundKeys.begin() + static_cast<std::ptrdiff_t>(4 * (i - 1)), 4, t);
        if (i % nk == 0) {
            const std::uint8_t first = t[0];
            t[0] = static_cast<std::uint8_t>(kTables.sbox[t[1]] ^ rcon);
            t[1] = kTables.sbox[t[2]];
            t[2] = kTables.sbox[t[3]];
            t[3] = kTables.sbox[first];
            rcon = Times2(rcon);
        } else if (nk > 6 && i % nk == 4) {
            for (auto& b : t) b = kTables.sbox[b];
        }
        for (std::size_t k = 0; k < 4; ++k) m_roundKeys[4 * i + k] = m_roundKeys[4 * (i - nk) + k] ^ t[k];
    }
}

void Aes::EncryptBlock(std::span<std::uint8_t, kBlockSize> block) const {
    std::uint8_t* s = block.data();
    AddRoundKey(s, m_roundKeys.data());
    for (int round = 1; round <= m_rounds; ++round) {
        for (int i = 0; i < 16; ++i) s[i] = kTables.sbox[s[i]];
        ShiftRows(s, false);
        if (round != m_rounds) MixColumns(s);
        AddRoundKey(s, m_roundKeys.data() + 16 * round);
    }
}

void Aes::DecryptBlock(std::span<std::uint8_t, kBlockSize> block) const {
    std::uint8_t* s = block.data();
    AddRoundKey(s, m_roundKeys.data() + 16 * m_rounds);
    for (int round = m_rounds - 1; round >= 0; --round) {
        ShiftRows(s, true);
        for (int i = 0; i < 16; ++i) s[i] = kTables.inverse[s[i]];
        AddRoundKey(s, m_roundKeys.data() + 16 * round);
        if (round != 0) InverseMixColumns(s);
    }
}

bool Aes::DecryptEcb(std::span<std::uint8_t> data) const { return EachBlock(data, &Aes::DecryptBlock); }

bool Aes::EncryptEcb(std::span<std::uint8_t> data) const { return EachBlock(data, &Aes::EncryptBlock); }

bool Aes::EachBlock(std::span<std::uint8_t> data, void (Aes::*transform)(std::span<std::uint8_t, kBlockSize>) const) const {
    if (!ok() || data.size() % kBlockSize != 0) return false;
    for (std::size_t at = 0; at < data.size(); at += kBlockSize) (this->*transform)(data.subspan(at).first<kBlockSize>());
    return true;
}

bool Aes::DecryptCbc(std::span<std::uint8_t> data, std::span<const std::uint8_t, kBlockSize> iv) const {
    if (!ok() || data.size() % kBlockSize != 0) return false;
    Block previous;
    std::copy(iv.begin(), iv.end(), previous.begin());
    for (std::size_t at = 0; at < data.size(); at += kBlockSize) {
        auto block = data.subspan(at).first<kBlockSize>();
        Block cipherText;
        std::copy(block.begin(), block.end(), cipherText.begin());
        DecryptBlock(block);
        for (std::size_t i = 0; i < kBlockSize; ++i) block[i] ^= previous[i];
        previous = cipherText;
    }
    return true;
}

bool Aes::EncryptCbc(std::span<std::uint8_t> data, std::span<const std::uint8_t, kBlockSize> iv) const {
    if (!ok() || data.size() % kBlockSize != 0) return false;
    Block previous;
    std::copy(iv.begin(), iv.end(), previous.begin());
    for (std::size_t at = 0; at < data.size(); at += kBlockSize) {
        auto block = data.subspan(at).first<kBlockSize>();
        for (std::size_t i = 0; i < kBlockSize; ++i) block[i] ^= previous[i];
        EncryptBlock(block);
        std::copy(block.begin(), block.end(), previous.begin());
    }
    return true;
}

}  // namespace tessaly::analysis::crypto
