// Request, handshake, idle and reply texts of the engine link.
#include "EngineLinkMessages.h"

#include <cwctype>
#include <limits>

namespace tessaly {
namespace {

bool IsHighSurrogate(wchar_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }

// Code units and UTF-8 bytes of the character at text[at]; a lone surrogate goes out as U+FFFD.
struct CharSize {
    std::size_t units;
    std::size_t bytes;
};

CharSize SizeAt(std::wstring_view text, std::size_t at) noexcept {
    const wchar_t c = text[at];
    if (IsHighSurrogate(c) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) return {2, 4};
    if (c < 0x80) return {1, 1};
    if (c < 0x800) return {1, 2};
    return {1, 3};
}

std::wstring ReplaceAll(std::wstring text, wchar_t from, wchar_t to) {
    for (wchar_t& c : text)
        if (c == from) c = to;
    return text;
}

// Every "::" loses one ":" until none is left, so a run of colons becomes one.
std::wstring CollapseSeparators(std::wstring text) {
    for (std::size_t at = text.find(kFieldSeparator); at != std::wstring::npos; at = text.find(kFieldSeparator, at))
        text.erase(at, 1);
    return text;
}

std::size_t SizeWithoutUnderflow(std::size_t limit, std::size_t used) noexcept { return used < limit ? limit - used : 0; }

}  // namespace

std::size_t Utf8Size(std::wstring_view text) noexcept {
    std::size_t bytes = 0;
    for (std::size_t at = 0; at < text.size() && text[at] != L'\0';) {
        const CharSize size = SizeAt(text, at);
        bytes += size.bytes;
        at += size.units;
    }
    return bytes;
}

std::wstring CutToUtf8Bytes(std::wstring_view text, std::size_t maxBytes) {
    std::size_t bytes = 0, at = 0;
    while (at < text.size()) {
        const CharSize size = SizeAt(text, at);
        if (bytes + size.bytes > maxBytes) break;
        bytes += size.bytes;
        at += size.units;
    }
    return std::wstring(text.substr(0, at));
}

std::wstring ToEnginePath(std::wstring path) { return ReplaceAll(std::move(path), L'\\', L'/'); }
std::wstring ToLocalPath(std::wstring path) { return ReplaceAll(std::move(path), L'/', L'\\'); }

std::wstring EngineRequestText(const std::wstring& path, bool isClean) {
    return std::wstring(isClean ? kCleanRequestPrefix : kScanRequestPrefix) + ToEnginePath(path);
}

std::wstring PingText(std::int32_t clientId) {
    return std::wstring(kPingPrefix) + kFieldSeparator + std::to_wstring(clientId);
}

std::wstring IdleText(bool elevated) { return std::wstring(kIdlePrefix) + (elevated ? L"1" : L"0"); }

bool ReadIdleText(const std::wstring& message, bool& elevated) {
    if (!message.starts_with(kIdlePrefix)) return false;
    elevated = message.back() == L'1';
    return true;
}

bool IsEngineExitText(const std::wstring& text) { return text == kClientExitText || text == kServerExitText; }

std::wstring MakeReplyField(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n' || c == L'\0') c = L' ';
    text = CollapseSeparators(std::move(text));
    while (!text.empty() && text.back() == L':') text.pop_back();
    return text;
}

std::wstring ReplyPathField(std::wstring_view enginePath) {
    return CutToUtf8Bytes(CollapseSeparators(std::wstring(enginePath)), kReplyPathLimit);
}

std::wstring BuildReply(std::wstring_view prefix, std::int32_t code, std::wstring_view text, std::wstring_view path) {
    const std::wstring head = std::wstring(prefix) + std::to_wstring(code) + kFieldSeparator;
    const std::wstring pathField = ReplyPathField(path);
    const std::size_t used = Utf8Size(head) + 2 + Utf8Size(pathField);
    std::wstring textField = MakeReplyField(CutToUtf8Bytes(MakeReplyField(std::wstring(text)),
                                                           SizeWithoutUnderflow(kMessageTextLimit, used)));
    // Only a prefix longer than any of the link's could still overrun; the message is cut then.
    return CutToUtf8Bytes(head + textField + kFieldSeparator + pathField, kMessageTextLimit);
}

bool ReplyNamesPath(std::wstring_view message, std::wstring_view enginePath) {
    return message.find(ReplyPathField(enginePath)) != std::wstring_view::npos;
}

std::vector<std::wstring> SplitReply(const std::wstring& reply) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = reply.find(kFieldSeparator, start);
        if (at == std::wstring::npos) break;
        parts.push_back(reply.substr(start, at - start));
        start = at + 2;
    }
    parts.push_back(reply.substr(start));
    return parts;
}

std::optional<std::int32_t> ParseReplyCode(const std::wstring& text) {
    std::size_t i = 0, end = text.size();
    while (i < end && std::iswspace(text[i])) ++i;
    while (end > i && std::iswspace(text[end - 1])) --end;
    bool negative = false;
    if (i < end && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    if (i == end) return std::nullopt;
    std::int64_t value = 0;
    for (; i < end; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace tessaly
