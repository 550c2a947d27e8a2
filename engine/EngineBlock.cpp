// The engine's mailboxes: requests are taken with the atomic length field of the link, replies wait
// in a short queue for a free receive mailbox.
#include "EngineBlock.h"

#include <sddl.h>

#include <string>

#include "BoundedPoll.h"
#include "EngineLinkMailbox.h"
#include "EngineLinkMessages.h"
#include "EngineLinkProtocol.h"
#include "FaultLog.h"

namespace tessaly::engine {
namespace {

// Elevated and non-elevated clients of the desktop user both open the block, so it is not left
// to the elevated engine's default DACL; medium integrity keeps the guard able to write.
constexpr wchar_t kBlockSecurity[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;AU)S:(ML;;NW;;;ME)";

// A client that writes its length or payload a byte at a time is waited for while its bytes keep
// coming, and given up after this long without a new one, or after the whole limit.
constexpr std::uint32_t kTornWriteStallMs = 20;
constexpr std::uint32_t kTornWriteLimitMs = 1000;
// A message no client took for this long gives way to the next one queued.
constexpr ULONGLONG kStaleAfterMs = 2000;
// Replies nobody reads are dropped oldest first beyond this many.
constexpr std::size_t kOutboxLimit = 8;

// The payload of a complete length field, waiting out a writer that set the length before the
// bytes; "" when no CR LF ends it in time.
std::string SettledPayload(const LinkMailbox& mailbox, LengthField field, std::size_t n) {
    std::string payload = mailbox.Payload(n);
    if (EndsWithLineEnd(payload)) return payload;
    std::uint64_t lastChange = PollClockMs();
    PollUntil(
        [&] {
            std::string now = mailbox.Payload(n);
            if (now != payload) lastChange = PollClockMs();
            payload = std::move(now);
            return EndsWithLineEnd(payload) || mailbox.Length() != field ||
                   PollClockMs() - lastChange > kTornWriteStallMs;
        },
        PollPlan{kTornWriteLimitMs, 1, 1000, false});
    return EndsWithLineEnd(payload) ? payload : std::string();
}

}  // namespace

bool EngineBlock::Create() noexcept {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    unique_local<PSECURITY_DESCRIPTOR> descriptor;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(kBlockSecurity, SDDL_REVISION_1, &raw, nullptr)) {
        descriptor.reset(raw);
        attributes.lpSecurityDescriptor = raw;
    }
    m_mapping.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, descriptor ? &attributes : nullptr, PAGE_READWRITE, 0,
                                         kPipeBlockSize, kPipeMappingName));
    if (!m_mapping && descriptor)
        m_mapping.reset(
            ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kPipeBlockSize, kPipeMappingName));
    if (!m_mapping) return false;
    m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, kPipeBlockSize));
    return static_cast<bool>(m_view);
}

void EngineBlock::Clear() noexcept {
    if (!m_view) return;
    LinkMailbox(Base() + kPipeSendOffset).Clear();
    LinkMailbox(Base() + kPipeRecvOffset).Clear();
}

std::optional<std::wstring> EngineBlock::TakeRequest() noexcept {
    if (!m_view) return std::nullopt;
    LinkMailbox mailbox(Base() + kPipeSendOffset);
    if (mailbox.Length() == 0) return std::nullopt;
    try {
        const LengthField field = mailbox.SettledLength(kTornWriteStallMs);
        const LengthReading reading = ReadLengthField(field);
        if (reading.state == LengthState::Empty) return std::nullopt;
        std::wstring text;
        if (reading.state == LengthState::Complete) {
            const std::string payload = SettledPayload(mailbox, field, reading.length);
            if (!payload.empty()) text = RemoveLineEnds(DecodePayload(payload));
            mailbox.ClearLineEnd(reading.length);
        }
        // Withdrawn or replaced by its writer while it was read: the next round reads it afresh.
        if (!mailbox.Take(field)) return std::nullopt;
        return text;
    } catch (...) {
        LogCaughtFault(L"EngineBlock::TakeRequest");
        mailbox.Clear();
        return std::wstring();
    }
}

void EngineBlock::Post(const std::wstring& text) noexcept {
    try {
        std::optional<std::string> payload = EncodePayload(text);
        if (!payload) payload = EncodePayload(CutToUtf8Bytes(text, kMessageTextLimit));
        if (!payload) return;
        if (m_outbox.size() >= kOutboxLimit) m_outbox.pop_front();
        m_outbox.push_back(std::move(*payload));
    } catch (...) {
        LogCaughtFault(L"EngineBlock::Post");
    }
}

void EngineBlock::Flush(ULONGLONG now) noexcept {
    if (!m_view || m_outbox.empty()) return;
    LinkMailbox mailbox(Base() + kPipeRecvOffset);
    const LengthField waiting = mailbox.Length();
    if (waiting == 0) {
        Publish(now);
        return;
    }
    if (now - m_publishedAt < kStaleAfterMs) return;
    // Taken back only if it is still that message: a client may take it this very moment.
    if (mailbox.Take(waiting)) Publish(now);
}

bool EngineBlock::OutboxEmpty() const noexcept {
    return m_outbox.empty() && (!m_view || LinkMailbox(Base() + kPipeRecvOffset).Length() == 0);
}

void EngineBlock::Publish(ULONGLONG now) noexcept {
    LinkMailbox mailbox(Base() + kPipeRecvOffset);
    mailbox.Publish(m_outbox.front());
    m_publishedAt = now;
    m_outbox.pop_front();
}

}  // namespace tessaly::engine
