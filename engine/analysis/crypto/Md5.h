// MD5 (RFC 1321): the hash of Office's binary RC4 encryption key derivation.
#pragma once

#include <array>

#include "MdHash.h"

namespace tessaly::analysis::crypto {

class Md5 : public MdHash<Md5, 64, 8, false, 16> {
    friend class MdHash<Md5, 64, 8, false, 16>;
    void Compress(Block block);
    std::array<std::uint32_t, 4> m_state{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
};

}  // namespace tessaly::analysis::crypto
