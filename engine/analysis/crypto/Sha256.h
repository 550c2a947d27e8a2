// SHA-256 (FIPS 180-4): one of the hashes an Agile-encrypted package may name.
#pragma once

#include <array>

#include "MdHash.h"

namespace tessaly::analysis::crypto {

class Sha256 : public MdHash<Sha256, 64, 8, true, 32> {
    friend class MdHash<Sha256, 64, 8, true, 32>;
    void Compress(Block block);
    std::array<std::uint32_t, 8> m_state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
};

}  // namespace tessaly::analysis::crypto
