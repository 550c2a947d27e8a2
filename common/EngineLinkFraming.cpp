// Length field and payload of an engine-link message.
#include "EngineLinkFraming.h"

#include <array>
#include <cstring>

#include "EngineLinkProtocol.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly {
namespace {

using FieldBytes = std::array<unsigned char, kPipeLengthDigits>;

FieldBytes BytesOf(LengthField field) noexcept {
    FieldBytes bytes{};
    std::memcpy(bytes.data(), &field, bytes.size());
    return bytes;
}

LengthField FieldOf(const FieldBytes& bytes) noexcept {
    LengthField field = 0;
    std::memcpy(&field, bytes.data(), bytes.size());
    return field;
}

bool IsDigit(unsigned char c) noexcept { return c >= '0' && c <= '9'; }

}  // namespace

LengthReading ReadLengthField(LengthField field) noexcept {
    const FieldBytes bytes = BytesOf(field);
    if (bytes[0] == 0) return {LengthState::Empty, 0};
    std::size_t length = 0;
    for (unsigned char c : bytes) {
        if (c == 0) return {LengthState::Partial, 0};
        if (!IsDigit(c)) return {LengthState::Unusable, 0};
        length = length * 10 + (c - '0');
    }
    if (length < 1 || length > kPipePayloadLimit) return {LengthState::Unusable, 0};
    return {LengthState::Complete, length};
}

LengthField LengthFieldOf(std::size_t length) noexcept {
    FieldBytes bytes{};
    for (std::size_t i = bytes.size(); i-- > 0; length /= 10) bytes[i] = static_cast<unsigned char>('0' + length % 10);
    return FieldOf(bytes);
}

bool IsTakenField(LengthField field) noexcept {
    const FieldBytes bytes = BytesOf(field);
    return bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0;
}

std::string LengthFieldBytes(LengthField field) {
    const FieldBytes bytes = BytesOf(field);
    return std::string(bytes.begin(), bytes.end());
}

LengthField LengthFieldFromBytes(std::string_view fourBytes) noexcept {
    FieldBytes bytes{};
    for (std::size_t i = 0; i < bytes.size() && i < fourBytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(fourBytes[i]);
    return FieldOf(bytes);
}

std::optional<std::string> EncodePayload(std::wstring_view text) {
    const std::wstring hex = TextToHex(text);
    if (hex.size() + 2 > kPipePayloadLimit) return std::nullopt;
    std::string payload(hex.begin(), hex.end());  // hex digits are ASCII
    payload += "\r\n";
    return payload;
}

bool EndsWithLineEnd(std::string_view payload) noexcept { return payload.ends_with("\r\n"); }

std::wstring DecodePayload(std::string_view payload) {
    // One character per byte: the payload is ASCII, and any other byte is no hex digit either way.
    std::wstring text;
    text.reserve(payload.size());
    for (char c : payload)
        if (c != '\0') text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return HexToText(TrimSpaces(text));
}

std::wstring RemoveLineEnds(std::wstring text) {
    std::erase_if(text, [](wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\0'; });
    return text;
}

}  // namespace tessaly
