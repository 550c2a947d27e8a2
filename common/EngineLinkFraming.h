// Framing of one engine-link message, as pure functions both sides use: the four-digit length field
// read as one 32-bit value, and the payload (hex-UTF-8 text and CR LF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// The four bytes of a length field as one value, byte 0 (the first digit) at the lowest address.
using LengthField = std::uint32_t;

enum class LengthState {
    Empty,     // byte 0 is zero: nothing waits (or the message was taken)
    Partial,   // byte 0 is set but a later byte is still zero: a writer is setting the digits one by one
    Complete,  // four digits giving 1..8192
    Unusable,  // anything else: other characters, 0 or more than the payload limit
};

struct LengthReading {
    LengthState state = LengthState::Empty;
    std::size_t length = 0;  // only for Complete
};

LengthReading ReadLengthField(LengthField field) noexcept;
// The field holding length as four zero-padded ASCII digits; length must be at most 9999.
LengthField LengthFieldOf(std::size_t length) noexcept;
// The sender's test that its message was taken: bytes 0-2 are zero, byte 3 is not looked at.
bool IsTakenField(LengthField field) noexcept;
// The field's four bytes, for logs and tests.
std::string LengthFieldBytes(LengthField field);
LengthField LengthFieldFromBytes(std::string_view fourBytes) noexcept;

// The payload of a message text, or nothing when it exceeds the payload limit.
std::optional<std::string> EncodePayload(std::wstring_view text);
bool EndsWithLineEnd(std::string_view payload) noexcept;
// The text of a payload: NUL bytes and surrounding blanks dropped, hex-UTF-8 decoded up to the first
// zero byte (the CR LF reads as one). The text's own CR, LF and NUL characters are kept.
std::wstring DecodePayload(std::string_view payload);
// Removes every CR, LF and NUL character.
std::wstring RemoveLineEnds(std::wstring text);

}  // namespace tessaly
