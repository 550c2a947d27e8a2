// Dispatch over the hash classes; HMAC with the block size of the chosen hash.
#include "Hash.h"

#include <algorithm>

namespace tessaly::analysis::crypto {
namespace {

std::variant<Md5, Sha1, Sha256, Sha384, Sha512> MakeImpl(HashKind kind) {
    switch (kind) {
        case HashKind::kMd5: return Md5{};
        case HashKind::kSha1: return Sha1{};
        case HashKind::kSha256: return Sha256{};
        case HashKind::kSha384: return Sha384{};
        case HashKind::kSha512: break;
    }
    return Sha512{};
}

std::size_t BlockSize(HashKind kind) {
    return kind == HashKind::kSha384 || kind == HashKind::kSha512 ? Sha512::kBlockSize : Sha1::kBlockSize;
}

}  // namespace

std::size_t DigestSize(HashKind kind) {
    switch (kind) {
        case HashKind::kMd5: return 16;
        case HashKind::kSha1: return 20;
        case HashKind::kSha256: return 32;
        case HashKind::kSha384: return 48;
        case HashKind::kSha512: break;
    }
    return 64;
}

std::optional<HashKind> HashKindNamed(std::string_view name) {
    if (name == "SHA1" || name == "SHA-1") return HashKind::kSha1;
    if (name == "SHA256") return HashKind::kSha256;
    if (name == "SHA384") return HashKind::kSha384;
    if (name == "SHA512") return HashKind::kSha512;
    if (name == "MD5") return HashKind::kMd5;
    return std::nullopt;
}

Hasher::Hasher(HashKind kind) : m_impl(MakeImpl(kind)) {}

void Hasher::Update(std::span<const std::uint8_t> data) {
    std::visit([&](auto& h) { h.Update(data); }, m_impl);
}

std::vector<std::uint8_t> Hasher::Finish() {
    return std::visit([](auto& h) { return h.Finish(); }, m_impl);
}

std::vector<std::uint8_t> Digest(HashKind kind, std::initializer_list<std::span<const std::uint8_t>> parts) {
    Hasher h(kind);
    for (auto part : parts) h.Update(part);
    return h.Finish();
}

HmacHasher::HmacHasher(HashKind kind, std::span<const std::uint8_t> key) : m_kind(kind), m_inner(kind) {
    const std::size_t block = BlockSize(kind);
    std::vector<std::uint8_t> k(key.begin(), key.end());
    if (k.size() > block) k = Digest(kind, {key});
    k.resize(block, 0);
    std::vector<std::uint8_t> innerPad(block);
    m_outerPad.resize(block);
    std::transform(k.begin(), k.end(), innerPad.begin(), [](std::uint8_t b) { return static_cast<std::uint8_t>(b ^ 0x36); });
    std::transform(k.begin(), k.end(), m_outerPad.begin(), [](std::uint8_t b) { return static_cast<std::uint8_t>(b ^ 0x5C); });
    m_inner.Update(innerPad);
}

std::vector<std::uint8_t> HmacHasher::Finish() {
    const std::vector<std::uint8_t> innerDigest = m_inner.Finish();
    return Digest(m_kind, {m_outerPad, innerDigest});
}

std::vector<std::uint8_t> Hmac(HashKind kind, std::span<const std::uint8_t> key, std::span<const std::uint8_t> message) {
    HmacHasher h(kind, key);
    h.Update(message);
    return h.Finish();
}

}  // namespace tessaly::analysis::crypto
