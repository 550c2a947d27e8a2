// The engine's side of the shared block "zdv_share_mem_pipe": it creates the mapping, takes what
// clients write into the send mailbox and hands its own messages to the receive mailbox through a
// short queue, so a client that never takes its replies cannot hold up the engine or another client.
#pragma once

#include <windows.h>

#include <deque>
#include <optional>
#include <string>

#include "UniqueHandle.h"

namespace tessaly::engine {

class EngineBlock {
public:
    // Creates (or opens, when a client still holds it) the mapping in the session namespace.
    bool Create() noexcept;
    // Empties both mailboxes, so nothing left by an earlier engine is taken or read.
    void Clear() noexcept;

    // The text of a waiting request, already taken from the mailbox; "" for a request whose
    // framing or hex form is unusable (it is taken all the same); nullopt when nothing waits.
    std::optional<std::wstring> TakeRequest() noexcept;

    // Queues one message; it is written as soon as the receive mailbox is free. A text too long for
    // one message is cut at a whole character.
    void Post(const std::wstring& text) noexcept;
    // Writes the next queued message when the mailbox is free, or in place of a message that no
    // client has taken for a while: whoever waits for a reply reads the mailbox all the time.
    void Flush(ULONGLONG now) noexcept;
    // Nothing queued and nothing waiting in the receive mailbox.
    [[nodiscard]] bool OutboxEmpty() const noexcept;

private:
    unsigned char* Base() const noexcept { return static_cast<unsigned char*>(m_view.get()); }
    void Publish(ULONGLONG now) noexcept;

    unique_kernel_handle m_mapping;
    unique_view m_view;
    std::deque<std::string> m_outbox;  // framed payloads, oldest first
    ULONGLONG m_publishedAt = 0;       // when this engine last wrote the receive mailbox
};

}  // namespace tessaly::engine
