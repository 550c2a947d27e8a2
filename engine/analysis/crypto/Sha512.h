// SHA-512 and SHA-384 (FIPS 180-4): SHA-512 is what Office's Agile encryption uses by default;
// SHA-384 is SHA-512 with other initial values, cut to 48 bytes.
#pragma once

#include <array>

#include "MdHash.h"

namespace tessaly::analysis::crypto {

class Sha512Core {
protected:
    static void Compress(std::array<std::uint64_t, 8>& state, std::span<const std::uint8_t, 128> block);
};

class Sha512 : public MdHash<Sha512, 128, 16, true, 64>, Sha512Core {
    friend class MdHash<Sha512, 128, 16, true, 64>;
    void Compress(Block block) { Sha512Core::Compress(m_state, block); }
    std::array<std::uint64_t, 8> m_state{0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
                                         0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
};

class Sha384 : public MdHash<Sha384, 128, 16, true, 48>, Sha512Core {
    friend class MdHash<Sha384, 128, 16, true, 48>;
    void Compress(Block block) { Sha512Core::Compress(m_state, block); }
    std::array<std::uint64_t, 8> m_state{0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
                                         0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
};

}  // namespace tessaly::analysis::crypto
