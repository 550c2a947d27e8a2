// One scan or clean request over the engine link and the bounded wait for its reply. The link is
// reached through a small interface so the page's guard variant and the tests can supply their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tessaly {

class ClsPipeShareMem;

class ScanEngineLink {
public:
    virtual ~ScanEngineLink() = default;
    virtual bool IsPipeAlive() = 0;
    virtual bool SendMsgToUTF8HexStr(const std::wstring& text) = 0;
    // Empty when no message waits; CR LF trimmed.
    virtual std::wstring NextMessage() = 0;
};

// The page's view of a lent ClsPipeShareMem; it does not own the link.
class PipeShareMemLink final : public ScanEngineLink {
public:
    explicit PipeShareMemLink(ClsPipeShareMem& pipe) noexcept : m_pipe(pipe) {}
    bool IsPipeAlive() override;
    bool SendMsgToUTF8HexStr(const std::wstring& text) override;
    std::wstring NextMessage() override;

private:
    ClsPipeShareMem& m_pipe;
};

// Outcome codes of RequestEngine.
inline constexpr std::int32_t kRequestNormal = 0;
inline constexpr std::int32_t kRequestEngineExit = 1;
inline constexpr std::int32_t kRequestNoReply = 99;

struct RequestEngineOptions {
    std::int32_t polls = 1200;
    // Length of one poll; the mailbox is looked at many times within it. 0: once per poll.
    unsigned pollSleepMs = 100;
    // The main program asks in every poll; the guard's silent page only before sending.
    bool aliveTestEachPoll = true;
    // Pending window events; DoEvents by default.
    std::function<void()> pumpEvents;
};

// True when a reply with the expected prefix arrived (then in reply). cancelled is asked in every poll.
bool RequestEngine(ScanEngineLink* link, const std::wstring& path, std::wstring& reply, bool isClean,
                   std::int32_t& code, const std::function<bool()>& cancelled,
                   const RequestEngineOptions& options = {});

}  // namespace tessaly
