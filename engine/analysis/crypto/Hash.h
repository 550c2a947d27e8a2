// One entry to every hash the Office encryption schemes name, chosen at run time (Agile names its
// hash in the EncryptionInfo XML), plus HMAC over any of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "Md5.h"
#include "Sha1.h"
#include "Sha256.h"
#include "Sha512.h"

namespace tessaly::analysis::crypto {

enum class HashKind { kMd5, kSha1, kSha256, kSha384, kSha512 };

std::size_t DigestSize(HashKind kind);
// The names EncryptionInfo uses ("SHA1", "SHA512"...); nullopt for one we do not have.
std::optional<HashKind> HashKindNamed(std::string_view name);

class Hasher {
public:
    explicit Hasher(HashKind kind);
    void Update(std::span<const std::uint8_t> data);
    std::vector<std::uint8_t> Finish();

private:
    std::variant<Md5, Sha1, Sha256, Sha384, Sha512> m_impl;
};

// HMAC (RFC 2104) over a message given in pieces.
class HmacHasher {
public:
    HmacHasher(HashKind kind, std::span<const std::uint8_t> key);
    void Update(std::span<const std::uint8_t> data) { m_inner.Update(data); }
    std::vector<std::uint8_t> Finish();

private:
    HashKind m_kind;
    std::vector<std::uint8_t> m_outerPad;
    Hasher m_inner;
};

// The hash of the concatenated parts.
std::vector<std::uint8_t> Digest(HashKind kind, std::initializer_list<std::span<const std::uint8_t>> parts);
// HMAC of a message in one piece.
std::vector<std::uint8_t> Hmac(HashKind kind, std::span<const std::uint8_t> key, std::span<const std::uint8_t> message);

}  // namespace tessaly::analysis::crypto
