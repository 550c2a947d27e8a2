// One mailbox of the shared block as both sides touch it. The length field is the only flag between
// writer and reader, so it is read with one atomic 32-bit load (acquire) and published with one
// atomic store after the payload (release): a reader never sees a length before the bytes it counts,
// nor half of a length. Taking a message zeroes the field in one step too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "EngineLinkFraming.h"

namespace tessaly {

class LinkMailbox {
public:
    // at: the start of a mailbox (its length field) inside a mapped block, four-byte aligned.
    explicit LinkMailbox(void* at) noexcept : m_at(static_cast<unsigned char*>(at)) {}

    [[nodiscard]] LengthField Length() const noexcept;
    // The length field once a writer that sets the digits one at a time is done with them; a field
    // still partial after waitMs is returned as it is.
    [[nodiscard]] LengthField SettledLength(std::uint32_t waitMs) const noexcept;
    // The first n payload bytes as they are now.
    [[nodiscard]] std::string Payload(std::size_t n) const;

    // Withdraws what waits, writes the payload, then its length. The caller has made sure the payload
    // fits.
    void Publish(std::string_view payload) noexcept;
    // Takes the message whose length field read `seen`: True when the field still held it and is now
    // zero; False when the writer withdrew or replaced it meanwhile (the field is left alone).
    bool Take(LengthField seen) noexcept;
    // Zeroes the length: the mailbox is empty (or a message not taken yet is withdrawn).
    void Clear() noexcept;
    // Zeroes the CR LF that ends a payload of n bytes. A reader does so before it takes a message:
    // a writer that sets the length before the payload then cannot leave the old CR LF in place to
    // pass for the end of a new message of the same length.
    void ClearLineEnd(std::size_t n) noexcept;

private:
    unsigned char* m_at;
};

}  // namespace tessaly
