// Standard: the key is SHA-1 spun 50,000 times over salt and password, then widened through the
// 0x36/0x5C derivation; the package is AES-ECB after an 8-byte size. Agile: the password key of
// each purpose is the spun hash plus a fixed block key; the package is AES-CBC in 4096-byte
// segments whose IV is the hash of the key-data salt and the segment number.
#include "PackageCipher.h"

#include <algorithm>

#include "EncryptionHeader.h"
#include "Limits.h"
#include "Ooxml.h"
#include "crypto/Aes.h"
#include "crypto/Base64.h"

namespace tessaly::analysis::offcrypto {
namespace {

constexpr std::size_t kSegmentSize = 4096;
constexpr std::size_t kSizeBytes = 8;  // the package's plain size leads the stream
constexpr std::size_t kCopyPiece = 1u << 20;
constexpr std::uint32_t kStandardSpinCount = 50000;
constexpr std::uint8_t kBlockVerifierInput[8] = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
constexpr std::uint8_t kBlockVerifierValue[8] = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
constexpr std::uint8_t kBlockKeyValue[8] = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};
constexpr std::uint8_t kBlockHmacKey[8] = {0x5f, 0xb2, 0xad, 0x01, 0x0c, 0xb9, 0xe1, 0xf6};
constexpr std::uint8_t kBlockHmacValue[8] = {0xa0, 0x67, 0x7f, 0x02, 0xb2, 0x2c, 0x84, 0x33};

ByteVec Le32(std::uint32_t v) {
    ByteVec b;
    PutU32(b, v);
    return b;
}

ByteVec SpunHash(crypto::HashKind hash, Bytes salt, std::string_view password, std::uint32_t spinCount) {
    ByteVec h = crypto::Digest(hash, {salt, PasswordBytes(password)});
    for (std::uint32_t i = 0; i < spinCount; ++i) h = crypto::Digest(hash, {Le32(i), h});
    return h;
}

// Cut or padded (with 0x36) to `size` bytes, as Agile sizes keys and IVs.
ByteVec Sized(ByteVec v, std::size_t size) {
    v.resize(size, 0x36);
    return v;
}

bool AesCbc(std::span<std::uint8_t> data, Bytes key, const ByteVec& iv, bool encrypt) {
    crypto::Aes aes(key);
    if (iv.size() != crypto::Aes::kBlockSize) return false;
    std::span<const std::uint8_t, crypto::Aes::kBlockSize> ivSpan(iv.data(), crypto::Aes::kBlockSize);
    return encrypt ? aes.EncryptCbc(data, ivSpan) : aes.DecryptCbc(data, ivSpan);
}

// ---- Standard ----

std::optional<PackageKey> UnlockStandard(Bytes info, std::string_view password) {
    auto header = ReadCryptoApiHeader(info);
    if (!header || (header->flags & kFlagAes) == 0) return std::nullopt;
    if (header->algId != kAlgAes128 && header->algId != kAlgAes192 && header->algId != kAlgAes256) return std::nullopt;
    const std::size_t keyBytes = header->keyBits / 8;
    if (keyBytes != 16 && keyBytes != 24 && keyBytes != 32) return std::nullopt;
    ByteVec h = SpunHash(crypto::HashKind::kSha1, header->salt, password, kStandardSpinCount);
    h = crypto::Digest(crypto::HashKind::kSha1, {h, Le32(0)});
    ByteVec inner(64, 0x36), outer(64, 0x5C);
    for (std::size_t i = 0; i < h.size(); ++i) {
        inner[i] ^= h[i];
        outer[i] ^= h[i];
    }
    ByteVec derived = crypto::Digest(crypto::HashKind::kSha1, {inner});
    const ByteVec second = crypto::Digest(crypto::HashKind::kSha1, {outer});
    derived.insert(derived.end(), second.begin(), second.end());
    derived.resize(keyBytes);

    crypto::Aes aes(derived);
    ByteVec verifier = header->encryptedVerifier;
    ByteVec verifierHash = header->encryptedVerifierHash;
    if (!aes.DecryptEcb(verifier) || !aes.DecryptEcb(verifierHash)) return std::nullopt;
    const ByteVec expected = crypto::Digest(crypto::HashKind::kSha1, {verifier});
    if (verifierHash.size() < expected.size() || !std::equal(expected.begin(), expected.end(), verifierHash.begin()))
        return std::nullopt;
    PackageKey key;
    key.kind = PackageKey::Kind::kStandard;
    key.secretKey = std::move(derived);
    return key;
}

// ---- Agile ----

// The first element whose name, without its namespace prefix, is `localName`. A name ends where
// another tag starts, so each character is looked at once however many "<" the text holds.
std::string_view ElementNamed(std::string_view xml, std::string_view localName) {
    for (std::size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at + 1)) {
        std::size_t end = at + 1;
        while (end < xml.size() && xml[end] != ' ' && xml[end] != '>' && xml[end] != '/' && xml[end] != '\t' &&
               xml[end] != '\r' && xml[end] != '\n' && xml[end] != '<')
            ++end;
        std::string_view name = xml.substr(at + 1, end - at - 1);
        if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);
        if (name != localName) continue;
        const std::size_t close = xml.find('>', end);
        return close == std::string_view::npos ? std::string_view{} : xml.substr(at, close + 1 - at);
    }
    return {};
}

std::optional<ByteVec> Base64Attribute(std::string_view element, std::string_view name) {
    return crypto::Base64Decode(ooxml::AttributeValue(element, name));
}

std::optional<std::uint32_t> NumberAttribute(std::string_view element, std::string_view name) {
    const std::string text = ooxml::AttributeValue(element, name);
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(text));
}

struct AgileParams {
    crypto::HashKind hash = crypto::HashKind::kSha1;
    std::size_t keyBytes = 0, blockSize = 0, hashSize = 0;
    ByteVec salt;
};

std::optional<AgileParams> ReadParams(std::string_view element) {
    AgileParams p;
    auto hash = crypto::HashKindNamed(ooxml::AttributeValue(element, "hashAlgorithm"));
    auto keyBits = NumberAttribute(element, "keyBits");
    auto blockSize = NumberAttribute(element, "blockSize");
    auto hashSize = NumberAttribute(element, "hashSize");
    auto salt = Base64Attribute(element, "saltValue");
    if (!hash || !keyBits || !blockSize || !hashSize || !salt || ooxml::AttributeValue(element, "cipherAlgorithm") != "AES" ||
        ooxml::AttributeValue(element, "cipherChaining") != "ChainingModeCBC")
        return std::nullopt;
    p.hash = *hash;
    p.keyBytes = *keyBits / 8;
    p.blockSize = *blockSize;
    p.hashSize = *hashSize;
    p.salt = std::move(*salt);
    if (p.blockSize != 16 || p.hashSize != crypto::DigestSize(p.hash) || (p.keyBytes != 16 && p.keyBytes != 24 && p.keyBytes != 32))
        return std::nullopt;
    return p;
}

std::optional<ByteVec> DecryptWith(const AgileParams& p, const ByteVec& spun, const std::uint8_t (&blockKey)[8], ByteVec data) {
    const ByteVec key = Sized(crypto::Digest(p.hash, {spun, Bytes(blockKey, 8)}), p.keyBytes);
    if (data.empty() || !AesCbc(data, key, Sized(p.salt, p.blockSize), false)) return std::nullopt;
    return data;
}

std::optional<PackageKey> UnlockAgile(Bytes info, std::string_view password) {
    if (info.size() < 8) return std::nullopt;
    PackageKey key;
    key.kind = PackageKey::Kind::kAgile;
    key.infoPrefix.assign(info.begin(), info.begin() + 8);
    key.xml.assign(info.begin() + 8, info.end());
    const std::string_view keyData = ElementNamed(key.xml, "keyData");
    const std::string_view encryptedKey = ElementNamed(key.xml, "encryptedKey");
    const std::string_view integrity = ElementNamed(key.xml, "dataIntegrity");
    auto data = ReadParams(keyData);
    auto pass = ReadParams(encryptedKey);
    auto spin = NumberAttribute(encryptedKey, "spinCount");
    auto hashInput = Base64Attribute(encryptedKey, "encryptedVerifierHashInput");
    auto hashValue = Base64Attribute(encryptedKey, "encryptedVerifierHashValue");
    auto keyValue = Base64Attribute(encryptedKey, "encryptedKeyValue");
    auto hmacKey = Base64Attribute(integrity, "encryptedHmacKey");
    if (!data || !pass || !spin || *spin > limits::kMaxSpinCount || !hashInput || !hashValue || !keyValue) return std::nullopt;

    const ByteVec spun = SpunHash(pass->hash, pass->salt, password, *spin);
    auto input = DecryptWith(*pass, spun, kBlockVerifierInput, *hashInput);
    auto value = DecryptWith(*pass, spun, kBlockVerifierValue, *hashValue);
    auto secret = DecryptWith(*pass, spun, kBlockKeyValue, *keyValue);
    if (!input || !value || !secret || value->size() < pass->hashSize || secret->size() < data->keyBytes) return std::nullopt;
    input->resize(std::min(input->size(), pass->salt.size()));
    const ByteVec expected = crypto::Digest(pass->hash, {*input});
    if (!std::equal(expected.begin(), expected.end(), value->begin())) return std::nullopt;
    secret->resize(data->keyBytes);
    key.secretKey = std::move(*secret);
    key.hash = data->hash;
    key.blockSize = data->blockSize;
    key.keyDataSalt = data->salt;
    if (hmacKey) key.encryptedHmacKey = std::move(*hmacKey);
    return key;
}

ByteVec AgileIv(const PackageKey& key, Bytes blockKey) {
    return Sized(crypto::Digest(key.hash, {key.keyDataSalt, blockKey}), key.blockSize);
}

std::optional<ByteVec> HmacKey(const PackageKey& key) {
    ByteVec hmacKey = key.encryptedHmacKey;
    if (hmacKey.empty() || !AesCbc(hmacKey, key.secretKey, AgileIv(key, Bytes(kBlockHmacKey, 8)), false)) return std::nullopt;
    hmacKey.resize(std::min(hmacKey.size(), crypto::DigestSize(key.hash)));
    return hmacKey;
}

std::size_t WholeBlocks(std::size_t bytes) { return (bytes + crypto::Aes::kBlockSize - 1) / crypto::Aes::kBlockSize * crypto::Aes::kBlockSize; }

// The package data in place, whole blocks: one ECB run (Standard) or CBC segment by segment (Agile).
bool Transform(std::span<std::uint8_t> data, const PackageKey& key, bool encrypt) {
    if (key.kind == PackageKey::Kind::kStandard) {
        const crypto::Aes aes(key.secretKey);
        return encrypt ? aes.EncryptEcb(data) : aes.DecryptEcb(data);
    }
    for (std::size_t at = 0, segment = 0; at < data.size(); at += kSegmentSize, ++segment) {
        const auto piece = data.subspan(at, std::min(data.size() - at, kSegmentSize));
        if (!AesCbc(piece, key.secretKey, AgileIv(key, Le32(static_cast<std::uint32_t>(segment))), encrypt)) return false;
    }
    return true;
}

}  // namespace

std::optional<PackageKey> UnlockPackage(Bytes encryptionInfo, std::string_view password) {
    auto version = ReadVersion(encryptionInfo);
    if (!version) return std::nullopt;
    if (version->major == 4 && version->minor == 4) return UnlockAgile(encryptionInfo, password);
    if ((version->major == 3 || version->major == 4) && version->minor == 2) return UnlockStandard(encryptionInfo, password);
    return std::nullopt;
}

std::optional<ByteVec> DecryptPackage(const ByteSource& encryptedPackage, const PackageKey& key, WorkBudget* budget) {
    ByteVec scratch;
    const auto size = ReadAt<std::uint64_t>(encryptedPackage.View(0, kSizeBytes, scratch), 0);
    const std::uint64_t stored = encryptedPackage.size() > kSizeBytes ? encryptedPackage.size() - kSizeBytes : 0;
    if (!size || *size > limits::kMaxZipTotalBytes || *size > stored) return std::nullopt;
    const std::size_t needed = WholeBlocks(static_cast<std::size_t>(*size));
    if (needed > stored || (budget && !budget->ChargeDecompressed(needed))) return std::nullopt;
    ByteVec data;
    data.reserve(needed);
    while (data.size() < needed) {
        const Bytes piece = encryptedPackage.View(kSizeBytes + data.size(), std::min<std::size_t>(needed - data.size(), kCopyPiece), scratch);
        if (piece.empty()) return std::nullopt;
        PutBytes(data, piece);
    }
    if (!Transform(data, key, false)) return std::nullopt;
    data.resize(static_cast<std::size_t>(*size));
    return data;
}

ByteVec EncryptPackage(Bytes package, const PackageKey& key) {
    ByteVec out;
    out.reserve(kSizeBytes + WholeBlocks(package.size()));
    PutU64(out, package.size());
    PutBytes(out, package);
    out.resize(kSizeBytes + WholeBlocks(package.size()), 0);
    Transform(std::span(out).subspan(kSizeBytes), key, true);
    return out;
}

std::optional<ByteVec> EncryptionInfoFor(Bytes encryptedPackage, const PackageKey& key) {
    if (key.kind == PackageKey::Kind::kStandard) return ByteVec{};
    auto hmacKey = HmacKey(key);
    if (!hmacKey) return std::nullopt;
    ByteVec value = crypto::Hmac(key.hash, *hmacKey, encryptedPackage);
    value.resize(WholeBlocks(value.size()), 0);
    if (!AesCbc(value, key.secretKey, AgileIv(key, Bytes(kBlockHmacValue, 8)), true)) return std::nullopt;
    // Only the HMAC value changes: its attribute is rewritten inside the stored XML.
    const std::string_view integrity = ElementNamed(key.xml, "dataIntegrity");
    if (ooxml::AttributeValue(integrity, "encryptedHmacValue").empty()) return std::nullopt;
    const std::size_t at = static_cast<std::size_t>(integrity.data() - key.xml.data());
    std::string xml = key.xml;
    xml.replace(at, integrity.size(), ooxml::WithAttributeValue(integrity, "encryptedHmacValue", crypto::Base64Encode(value)));
    ByteVec info = key.infoPrefix;
    PutText(info, xml);
    return info;
}

bool IntegrityHolds(const ByteSource& encryptedPackage, Bytes encryptionInfo, const PackageKey& key) {
    if (key.kind == PackageKey::Kind::kStandard) return true;
    if (encryptionInfo.size() < key.infoPrefix.size()) return false;
    const std::string_view xml(reinterpret_cast<const char*>(encryptionInfo.data()) + key.infoPrefix.size(),
                               encryptionInfo.size() - key.infoPrefix.size());
    auto hmacKey = HmacKey(key);
    auto stored = crypto::Base64Decode(ooxml::AttributeValue(ElementNamed(xml, "dataIntegrity"), "encryptedHmacValue"));
    if (!hmacKey || !stored || stored->empty() || !AesCbc(*stored, key.secretKey, AgileIv(key, Bytes(kBlockHmacValue, 8)), false))
        return false;
    crypto::HmacHasher hmac(key.hash, *hmacKey);
    if (!encryptedPackage.ForEachPiece([&](Bytes piece) {
            hmac.Update(piece);
            return true;
        }))
        return false;
    const ByteVec actual = hmac.Finish();
    return stored->size() >= actual.size() && std::equal(actual.begin(), actual.end(), stored->begin());
}

bool IntegrityHolds(Bytes encryptedPackage, const PackageKey& key) {
    ByteVec info = key.infoPrefix;
    PutText(info, key.xml);
    return IntegrityHolds(SpanSource(encryptedPackage), info, key);
}

}  // namespace tessaly::analysis::offcrypto
