// CryptoAPI RC4 encryption of PowerPoint 97-2003 presentations: the CryptSession10Container the
// last edit names holds the encryption description; every persist object of the "PowerPoint
// Document" stream is encrypted on its own, its persist id the block number. Decrypting leaves
// every offset as it was, so the plain stream keeps the same layout.
#pragma once

#include <optional>
#include <string_view>

#include "ByteReader.h"

namespace tessaly::analysis::offcrypto {

struct PlainPresentation {
    ByteVec document;     // the "PowerPoint Document" stream decrypted, naming no crypt session
    ByteVec currentUser;  // the "Current User" stream with the plain header token
};

std::optional<PlainPresentation> DecryptPresentation(Bytes document, Bytes currentUser, std::string_view password);

}  // namespace tessaly::analysis::offcrypto
