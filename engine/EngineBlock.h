// The engine's side of the shared block "zdv_share_mem_pipe": it creates the mapping, takes what
// clients write into the send mailbox and writes its own messages into the receive mailbox.
#pragma once

#include <windows.h>

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

    [[nodiscard]] bool ReplyMailboxEmpty() const noexcept;
    // Frames and writes one message. Waits up to waitMs for a client to take what is still in the
    // mailbox, then overwrites it. False when the message cannot be framed within the limit.
    bool Post(const std::wstring& text, DWORD waitMs) noexcept;

private:
    volatile unsigned char* Base() const noexcept { return static_cast<volatile unsigned char*>(m_view.get()); }

    unique_kernel_handle m_mapping;
    unique_view m_view;
};

}  // namespace tessaly::engine
