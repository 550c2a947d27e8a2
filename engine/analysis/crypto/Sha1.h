// SHA-1 (FIPS 180-4): the hash of CryptoAPI RC4 and of ECMA-376 Standard encryption.
#pragma once

#include <array>

#include "MdHash.h"

namespace tessaly::analysis::crypto {

class Sha1 : public MdHash<Sha1, 64, 8, true, 20> {
    friend class MdHash<Sha1, 64, 8, true, 20>;
    void Compress(Block block);
    std::array<std::uint32_t, 5> m_state{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
};

}  // namespace tessaly::analysis::crypto
