// Atomic length field and payload copies of a shared mailbox.
#include "EngineLinkMailbox.h"

#include <atomic>
#include <cstring>

#include "BoundedPoll.h"
#include "EngineLinkProtocol.h"

namespace tessaly {
namespace {

// A writer between two digits is a few microseconds from done: yield a while before dozing.
constexpr std::uint32_t kSettleSpinTries = 1000;

static_assert(std::atomic_ref<LengthField>::is_always_lock_free, "the length field must be one machine word");

std::atomic_ref<LengthField> FieldAt(unsigned char* at) noexcept {
    return std::atomic_ref<LengthField>(*reinterpret_cast<LengthField*>(at));
}

}  // namespace

LengthField LinkMailbox::Length() const noexcept { return FieldAt(m_at).load(std::memory_order_acquire); }

LengthField LinkMailbox::SettledLength(std::uint32_t waitMs) const noexcept {
    LengthField field = Length();
    if (ReadLengthField(field).state != LengthState::Partial) return field;
    PollUntil(
        [&] {
            field = Length();
            return ReadLengthField(field).state != LengthState::Partial;
        },
        PollPlan{waitMs, 1, kSettleSpinTries, false});
    return field;
}

std::string LinkMailbox::Payload(std::size_t n) const {
    if (n > kPipePayloadLimit) n = kPipePayloadLimit;
    std::string bytes(n, '\0');
    std::memcpy(bytes.data(), m_at + kPipeLengthDigits, n);
    return bytes;
}

void LinkMailbox::Publish(std::string_view payload) noexcept {
    const std::size_t n = payload.size() < kPipePayloadLimit ? payload.size() : kPipePayloadLimit;
    // A message still waiting is withdrawn first, so its reader cannot take the new bytes under the
    // old length.
    Clear();
    std::memcpy(m_at + kPipeLengthDigits, payload.data(), n);
    FieldAt(m_at).store(LengthFieldOf(n), std::memory_order_release);
}

bool LinkMailbox::Take(LengthField seen) noexcept {
    return FieldAt(m_at).compare_exchange_strong(seen, 0, std::memory_order_acq_rel, std::memory_order_acquire);
}

void LinkMailbox::Clear() noexcept { FieldAt(m_at).store(0, std::memory_order_release); }

void LinkMailbox::ClearLineEnd(std::size_t n) noexcept {
    if (n < 2 || n > kPipePayloadLimit) return;
    m_at[kPipeLengthDigits + n - 2] = 0;
    m_at[kPipeLengthDigits + n - 1] = 0;
}

}  // namespace tessaly
