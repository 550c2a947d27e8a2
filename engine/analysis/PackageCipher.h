// ECMA-376 document encryption of OOXML packages (the EncryptionInfo and EncryptedPackage streams
// of a compound file): Standard (AES-ECB, SHA-1) and Agile (AES-CBC, a named hash, an HMAC over the
// encrypted stream). Unlocking checks the password; the package key then decrypts the package and
// encrypts a new one under the same key and salts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Budget.h"
#include "ByteReader.h"
#include "ByteSource.h"
#include "crypto/Hash.h"

namespace tessaly::analysis::offcrypto {

struct PackageKey {
    enum class Kind { kStandard, kAgile } kind = Kind::kStandard;
    ByteVec secretKey;  // the AES key of the package data
    // Agile only: how segment IVs and the HMAC are made, and the XML they live in.
    crypto::HashKind hash = crypto::HashKind::kSha1;
    std::size_t blockSize = 16;
    ByteVec keyDataSalt;
    ByteVec encryptedHmacKey;
    std::string xml;        // the EncryptionInfo XML as stored
    ByteVec infoPrefix;     // the 8 bytes before it (version and reserved)
};

std::optional<PackageKey> UnlockPackage(Bytes encryptionInfo, std::string_view password);

// The ZIP package out of an EncryptedPackage stream, read where it lies; nullopt when the stream is
// malformed or the plain package does not fit the budget (charged as decompressed bytes).
std::optional<ByteVec> DecryptPackage(const ByteSource& encryptedPackage, const PackageKey& key, WorkBudget* budget = nullptr);
// A new EncryptedPackage stream for `package`, and (Agile) the EncryptionInfo stream with the HMAC
// of that stream; Standard keeps its EncryptionInfo unchanged (an empty result).
ByteVec EncryptPackage(Bytes package, const PackageKey& key);
std::optional<ByteVec> EncryptionInfoFor(Bytes encryptedPackage, const PackageKey& key);
// Whether an Agile package's HMAC matches its stream (Standard has none: true).
bool IntegrityHolds(Bytes encryptedPackage, const PackageKey& key);
// The same against the HMAC stored in another EncryptionInfo stream made with this key (as the
// cleaner's re-encrypted document has), the package read where it lies.
bool IntegrityHolds(const ByteSource& encryptedPackage, Bytes encryptionInfo, const PackageKey& key);

}  // namespace tessaly::analysis::offcrypto
