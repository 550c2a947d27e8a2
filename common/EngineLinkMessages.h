// Texts of the engine link's messages as both sides build and read them: requests, the handshake
// and idle texts, and replies of four "::"-separated fields (prefix, code, text, path) that always
// fit one message, cut at whole UTF-8 characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "EngineLinkProtocol.h"

namespace tessaly {

// UTF-8 bytes of a text as the payload carries it (up to its first NUL character).
std::size_t Utf8Size(std::wstring_view text) noexcept;
// The longest start of text whose UTF-8 form holds at most maxBytes bytes; never splits a character.
std::wstring CutToUtf8Bytes(std::wstring_view text, std::size_t maxBytes);

// Paths travel with "/" for every "\".
std::wstring ToEnginePath(std::wstring path);
std::wstring ToLocalPath(std::wstring path);
// "SCAN::" or "CLEAN::" and the path in the link's form.
std::wstring EngineRequestText(const std::wstring& path, bool isClean);
std::wstring PingText(std::int32_t clientId);
std::wstring IdleText(bool elevated);
// True for an idle announcement; elevated then says whether its last character was "1".
bool ReadIdleText(const std::wstring& message, bool& elevated);
// "CLIENT::EXIT" or "SERVER::EXIT" exactly.
bool IsEngineExitText(const std::wstring& text);

// The longest path a reply carries whole, whatever its prefix and code: longer ones are cut.
inline constexpr std::size_t kReplyPathLimit =
    kMessageTextLimit - (std::char_traits<wchar_t>::length(kCleanReplyPrefix) + 11 + 2 * 2);

// A text made fit for one field: no line end, no NUL, no "::" and no ":" at its end, so the field
// cannot run into the separator after it.
std::wstring MakeReplyField(std::wstring text);
// The path as a reply carries it: every run of ":" that would read as a separator becomes one ":",
// and a path over kReplyPathLimit bytes is cut. Equal to the path itself for every real file path.
std::wstring ReplyPathField(std::wstring_view enginePath);
// prefix ("R_SCAN::", "R_CLEAN::", "R_ERROR::"), code, text and path, joined by "::"; the text gives
// way first when the whole would not fit one message.
std::wstring BuildReply(std::wstring_view prefix, std::int32_t code, std::wstring_view text, std::wstring_view path);
// True when the message carries the path of the request (in its reply form).
bool ReplyNamesPath(std::wstring_view message, std::wstring_view enginePath);

// The parts of a reply between its "::" separators.
std::vector<std::wstring> SplitReply(const std::wstring& reply);
// A whole decimal number, blanks around it allowed; nothing for any other text or an overflow.
std::optional<std::int32_t> ParseReplyCode(const std::wstring& text);

}  // namespace tessaly
