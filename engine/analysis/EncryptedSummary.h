// The "encryption" stream of CryptoAPI-encrypted binary documents, where the streams the format
// moves out of sight (document properties, and by the format's rules embedded objects, controls and
// the like) are kept encrypted. Only its directory is read: what it holds, by name and kind.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Rc4Keys.h"

namespace tessaly::analysis::offcrypto {

struct EncryptedEntry {
    std::string name;  // UTF-8
    bool isStream = true;
};

std::optional<std::vector<EncryptedEntry>> ListEncryptedSummary(Bytes stream, const Rc4Keys& keys);

// True when the stream holds nothing but the two property streams, which carry no macros.
bool HoldsOnlyProperties(const std::vector<EncryptedEntry>& entries);

}  // namespace tessaly::analysis::offcrypto
