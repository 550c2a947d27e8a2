// Base64 (RFC 4648) for the binary values inside an Agile EncryptionInfo XML.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::analysis::crypto {

// Whitespace is skipped; any other character outside the alphabet, or a bad length, fails.
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);
std::string Base64Encode(std::span<const std::uint8_t> data);

}  // namespace tessaly::analysis::crypto
