// Reading members of the update service's JSON answer by dotted path. The answer is parsed as
// JSON data, never evaluated as script. A member counts only with the type the caller expects:
// a 32-bit integer is a JSON number whose value is a whole number in the signed 32-bit range;
// a text is a JSON string. Anything else, and any answer that is not a JSON object, gives no value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace tessaly::updater {

enum class JsonType { Int32, Text };
using JsonValue = std::variant<std::int32_t, std::wstring>;

std::optional<JsonValue> GetJsonValue(const std::wstring& path, const std::wstring& answer, JsonType expected);
std::optional<std::int32_t> GetJsonInt(const std::wstring& path, const std::wstring& answer);
std::optional<std::wstring> GetJsonText(const std::wstring& path, const std::wstring& answer);

// The answer names the three members the service always sends ("message", "code", "data"), as
// substrings of its text.
bool HasAnswerMembers(const std::wstring& answer);

// Members of the answer the check reads, each absent when missing or of another type.
struct UpdateAnswer {
    std::optional<std::int32_t> code;
    std::optional<std::wstring> updateUrl;
    std::optional<std::wstring> action;
    std::optional<std::wstring> version;
    std::optional<std::int32_t> size;
    std::optional<std::wstring> hash;
    std::optional<std::wstring> packageUrl;
    std::optional<std::int32_t> reinstall;
};
UpdateAnswer ReadUpdateAnswer(const std::wstring& answer);

}  // namespace tessaly::updater

namespace tessaly::updater {

// A hex-UTF-8 field of the answer decoded; "" unless the field is an even number of hex digits.
std::wstring DecodeHexField(const std::wstring& field);

}  // namespace tessaly::updater
