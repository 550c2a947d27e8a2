// The engine link as both of its sides know it: the name and layout of the shared block, the size
// limits of a message, the message words and the client identifiers. The framing is in
// EngineLinkFraming.h, the shared mailbox access in EngineLinkMailbox.h, request and reply texts in
// EngineLinkMessages.h and the statistics text in EngineLinkFeedback.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaly {

// The block the engine creates in the per-log-on namespace; clients open it by this bare name.
inline constexpr wchar_t kPipeMappingName[] = L"zdv_share_mem_pipe";

// Two mailboxes in one block: the clients write the send mailbox, the engine the receive mailbox.
// Each is a four-byte length field followed by the payload.
inline constexpr std::uint32_t kPipeBlockSize = 20480;
inline constexpr std::uint32_t kPipeSendOffset = 0;
inline constexpr std::uint32_t kPipeRecvOffset = kPipeBlockSize / 2;
inline constexpr std::uint32_t kPipeLengthDigits = 4;
inline constexpr std::uint32_t kPipePayloadLimit = 8192;

// The payload is the text's UTF-8 bytes as two hex digits each, then CR LF: a message text holds at
// most this many UTF-8 bytes.
inline constexpr std::size_t kMessageTextLimit = (kPipePayloadLimit - 2) / 2;

// Separator of the words and fields of every message.
inline constexpr wchar_t kFieldSeparator[] = L"::";

// Client to engine.
inline constexpr wchar_t kPingPrefix[] = L"INIT::PING";
inline constexpr wchar_t kScanRequestPrefix[] = L"SCAN::";
inline constexpr wchar_t kCleanRequestPrefix[] = L"CLEAN::";
inline constexpr wchar_t kFeedbackPrefix[] = L"FEEDBACK::";
// Engine to client.
inline constexpr wchar_t kPongText[] = L"INIT::PONG";
inline constexpr wchar_t kIdlePrefix[] = L"SERVER::IDLE::";
inline constexpr wchar_t kScanReplyPrefix[] = L"R_SCAN::";
inline constexpr wchar_t kCleanReplyPrefix[] = L"R_CLEAN::";
// The engine's answer to a request it does not know or cannot read.
inline constexpr wchar_t kErrorReplyPrefix[] = L"R_ERROR::";
// Both directions: from a client "the client leaves" and "engine, quit"; from the engine they end a
// client's wait for a reply.
inline constexpr wchar_t kClientExitText[] = L"CLIENT::EXIT";
inline constexpr wchar_t kServerExitText[] = L"SERVER::EXIT";

// Client identifiers of the handshake.
inline constexpr std::int32_t kClientIdMain = 1000;
inline constexpr std::int32_t kClientIdGuard = 1001;

// Scan result codes of a reply.
inline constexpr std::int32_t kResultInfected = 2;
inline constexpr std::int32_t kResultSuspected = 50;
inline constexpr std::int32_t kResultEncrypted = 51;
inline constexpr std::int32_t kResultDamaged = 52;
inline constexpr std::int32_t kResultEngineError = -1;
// Clean result code of a repaired document; any other leaves the document as it was.
inline constexpr std::int32_t kCleanRepaired = 1;

}  // namespace tessaly
