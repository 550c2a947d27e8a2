// The update answer through nlohmann-json; see UpdateAnswer.h.
#include "UpdateAnswer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "FaultLog.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly::updater {
namespace {

using Json = nlohmann::json;

bool IsNumberStart(char c) { return c == '-' || (c >= '0' && c <= '9'); }

// JSON allows numbers beyond the range of a double (1e400), which the parser refuses as a whole
// while a script engine reads them as Infinity: a number, but no 32-bit integer. Such numbers
// outside strings become 0.5, which reads the same way.
std::string TameOverflowingNumbers(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            const std::size_t start = i++;
            while (i < text.size() && text[i] != '"') i += text[i] == '\\' ? 2 : 1;
            i = std::min(i + 1, text.size());
            out.append(text, start, i - start);
        } else if (IsNumberStart(c)) {
            const std::size_t start = i++;
            while (i < text.size() && std::strchr("0123456789.eE+-", text[i]) != nullptr) ++i;
            const std::string number = text.substr(start, i - start);
            out += std::isinf(std::strtod(number.c_str(), nullptr)) ? "0.5" : number;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::optional<Json> ParseObject(const std::wstring& answer) {
    // allow_exceptions false: malformed text gives a discarded value instead of a throw.
    const std::string text = WideToUtf8(answer);
    Json parsed = Json::parse(text, nullptr, false);
    if (parsed.is_discarded()) parsed = Json::parse(TameOverflowingNumbers(text), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
    return parsed;
}

const Json* Member(const Json& root, const std::wstring& path) {
    const Json* node = &root;
    const std::string names = WideToUtf8(path);
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = names.find('.', start);
        const std::string name = names.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!node->is_object()) return nullptr;
        const auto found = node->find(name);
        if (found == node->end()) return nullptr;
        node = &*found;
        if (dot == std::string::npos) return node;
        start = dot + 1;
    }
}

std::optional<std::int32_t> AsInt32(const Json& value) {
    constexpr double kLow = std::numeric_limits<std::int32_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
    if (value.is_number_integer()) {
        if (value.is_number_unsigned()) {
            const auto n = value.get<std::uint64_t>();
            if (n > static_cast<std::uint64_t>(kHigh)) return std::nullopt;
            return static_cast<std::int32_t>(n);
        }
        const auto n = value.get<std::int64_t>();
        if (n < static_cast<std::int64_t>(kLow) || n > static_cast<std::int64_t>(kHigh)) return std::nullopt;
        return static_cast<std::int32_t>(n);
    }
    if (value.is_number_float()) {
        // 1.0 and 1e3 are whole numbers as the script engine keeps them; 1.5 is not.
        const double n = value.get<double>();
        if (!std::isfinite(n) || std::trunc(n) != n || n < kLow || n > kHigh) return std::nullopt;
        return static_cast<std::int32_t>(n);
    }
    return std::nullopt;
}

std::optional<JsonValue> Typed(const Json& value, JsonType expected) {
    if (expected == JsonType::Text) {
        if (!value.is_string()) return std::nullopt;
        return JsonValue(Utf8ToWide(value.get_ref<const std::string&>()));
    }
    const auto number = AsInt32(value);
    if (!number) return std::nullopt;
    return JsonValue(*number);
}

std::optional<JsonValue> ReadMember(const std::optional<Json>& root, const std::wstring& path, JsonType expected) {
    if (!root) return std::nullopt;
    const Json* value = Member(*root, path);
    if (!value) return std::nullopt;
    return Typed(*value, expected);
}

template <typename T>
std::optional<T> As(const std::optional<JsonValue>& value) {
    if (!value) return std::nullopt;
    return std::get<T>(*value);
}

}  // namespace

std::optional<JsonValue> GetJsonValue(const std::wstring& path, const std::wstring& answer, JsonType expected) {
    try {
        return ReadMember(ParseObject(answer), path, expected);
    } catch (...) {
        LogCaughtFault(L"GetJsonValue");
        return std::nullopt;
    }
}

std::optional<std::int32_t> GetJsonInt(const std::wstring& path, const std::wstring& answer) {
    return As<std::int32_t>(GetJsonValue(path, answer, JsonType::Int32));
}

std::optional<std::wstring> GetJsonText(const std::wstring& path, const std::wstring& answer) {
    return As<std::wstring>(GetJsonValue(path, answer, JsonType::Text));
}

bool HasAnswerMembers(const std::wstring& answer) {
    return answer.find(L"message") != std::wstring::npos && answer.find(L"code") != std::wstring::npos &&
           answer.find(L"data") != std::wstring::npos;
}

UpdateAnswer ReadUpdateAnswer(const std::wstring& answer) {
    UpdateAnswer read;
    try {
        const std::optional<Json> root = ParseObject(answer);
        const auto integer = [&root](const wchar_t* path) { return As<std::int32_t>(ReadMember(root, path, JsonType::Int32)); };
        const auto text = [&root](const wchar_t* path) { return As<std::wstring>(ReadMember(root, path, JsonType::Text)); };
        read.code = integer(L"code");
        read.updateUrl = text(L"data.updateurl");
        read.action = text(L"data.action");
        read.version = text(L"data.updateinfo.ver");
        read.size = integer(L"data.updateinfo.size");
        read.hash = text(L"data.updateinfo.hash");
        read.packageUrl = text(L"data.updateinfo.packageurl");
        read.reinstall = integer(L"data.updateinfo.reinstall");
    } catch (...) {
        LogCaughtFault(L"ReadUpdateAnswer");
        return {};
    }
    return read;
}

std::wstring DecodeHexField(const std::wstring& field) {
    if (!IsHexString(field) || field.find_first_not_of(L"0123456789ABCDEFabcdef") != std::wstring::npos) return {};
    return HexToText(field);
}

}  // namespace tessaly::updater
