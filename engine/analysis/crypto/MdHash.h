// What every hash here shares (MD5 and the SHA family are Merkle-Damgard hashes): input gathered
// into whole blocks for the compression function, the final padding with 0x80, zeros and the bit
// length, and the digest as the chaining state written out word by word.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessaly::analysis::crypto {

template <std::size_t BlockSize, std::size_t LengthBytes, bool BigEndianLength>
class BlockBuffer {
public:
    using Block = std::span<const std::uint8_t, BlockSize>;

    template <typename Compress>
    void Update(std::span<const std::uint8_t> data, Compress&& compress) {
        m_totalBytes += data.size();
        std::size_t at = 0;
        if (m_used > 0) {
            const std::size_t take = std::min(BlockSize - m_used, data.size());
            std::copy_n(data.begin(), take, m_block.begin() + static_cast<std::ptrdiff_t>(m_used));
            m_used += take;
            at = take;
            if (m_used < BlockSize) return;
            compress(Block(m_block));
            m_used = 0;
        }
        for (; data.size() - at >= BlockSize; at += BlockSize) compress(Block(data.subspan(at, BlockSize)));
        std::copy(data.begin() + static_cast<std::ptrdiff_t>(at), data.end(), m_block.begin());
        m_used = data.size() - at;
    }

    template <typename Compress>
    void Pad(Compress&& compress) {
        const std::uint64_t bits = m_totalBytes * 8;
        m_block[m_used++] = 0x80;
        if (m_used > BlockSize - LengthBytes) {
            std::fill(m_block.begin() + static_cast<std::ptrdiff_t>(m_used), m_block.end(), std::uint8_t{0});
            compress(Block(m_block));
            m_used = 0;
        }
        std::fill(m_block.begin() + static_cast<std::ptrdiff_t>(m_used), m_block.end(), std::uint8_t{0});
        // Messages here are far below 2^64 bits, so only the low eight length bytes are ever set.
        for (std::size_t i = 0; i < 8; ++i) {
            const auto byte = static_cast<std::uint8_t>(bits >> (8 * i));
            if (BigEndianLength) m_block[BlockSize - 1 - i] = byte;
            else m_block[BlockSize - LengthBytes + i] = byte;
        }
        compress(Block(m_block));
        m_used = 0;
    }

private:
    std::array<std::uint8_t, BlockSize> m_block{};
    std::size_t m_used = 0;
    std::uint64_t m_totalBytes = 0;
};

// Derived classes hold `m_state` (an array of words) and a `Compress(Block)` member.
template <typename Derived, std::size_t BlockSize, std::size_t LengthBytes, bool BigEndian, std::size_t DigestBytes>
class MdHash {
public:
    static constexpr std::size_t kBlockSize = BlockSize;

    void Update(std::span<const std::uint8_t> data) {
        m_buffer.Update(data, [this](auto block) { self().Compress(block); });
    }
    std::vector<std::uint8_t> Finish() {
        m_buffer.Pad([this](auto block) { self().Compress(block); });
        const auto& state = self().m_state;
        constexpr std::size_t wordBytes = sizeof(state[0]);
        std::vector<std::uint8_t> out(DigestBytes);
        for (std::size_t i = 0; i < DigestBytes; ++i) {
            const std::size_t shift = BigEndian ? 8 * (wordBytes - 1 - i % wordBytes) : 8 * (i % wordBytes);
            out[i] = static_cast<std::uint8_t>(state[i / wordBytes] >> shift);
        }
        return out;
    }

protected:
    using Block = std::span<const std::uint8_t, BlockSize>;

private:
    Derived& self() { return static_cast<Derived&>(*this); }
    BlockBuffer<BlockSize, LengthBytes, BigEndian> m_buffer;
};

inline std::uint32_t RotateLeft32(std::uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
inline std::uint32_t RotateRight32(std::uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }
inline std::uint64_t RotateRight64(std::uint64_t v, int n) { return (v >> n) | (v << (64 - n)); }

inline std::uint32_t LoadBigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
    return (std::uint64_t{LoadBigEndian32(p)} << 32) | LoadBigEndian32(p + 4);
}

}  // namespace tessaly::analysis::crypto
