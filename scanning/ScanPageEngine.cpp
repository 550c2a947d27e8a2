// The request and its bounded wait: 1200 polls of 100 ms stay the deadline, but inside each poll the mailbox is looked at again and again, so a reply is taken as soon as it is
// there and the scan runs at the engine's pace.
#include "ScanPageEngine.h"

#include "BoundedPoll.h"
#include "ClsPipeShareMem.h"
#include "DoEvents.h"
#include "EngineLinkMessages.h"

namespace tessaly {

bool PipeShareMemLink::IsPipeAlive() { return m_pipe.IsPipeAlive(); }
bool PipeShareMemLink::SendMsgToUTF8HexStr(const std::wstring& text) { return m_pipe.SendMsgToUTF8HexStr(text); }
std::wstring PipeShareMemLink::NextMessage() {
    std::wstring message;
    m_pipe.RecvMsgFromUTF8encoding(message, true);
    return message;
}

namespace {

// Longest doze between two looks at the receive mailbox inside one poll.
constexpr std::uint32_t kReplyStepMs = 1;
// The reply to a small document follows the request within a fraction of a millisecond: yield a
// while before dozing.
constexpr std::uint32_t kReplySpinTries = 200;

void Pump(const RequestEngineOptions& options) {
    if (options.pumpEvents)
        options.pumpEvents();
    else
        DoEvents();
}

// The wait ends on an exit text or on any message that names the requested path.
bool EndsWait(const std::wstring& message, const std::wstring& replyPath) {
    if (message.empty() || message.find(kFieldSeparator) == std::wstring::npos) return false;
    return IsEngineExitText(message) || message.find(replyPath) != std::wstring::npos;
}

// One poll: messages are taken as they come until one ends the wait or the
// poll's time is over. True when the wait ends; last holds the message taken last.
bool AwaitWithinPoll(ScanEngineLink& link, const std::wstring& replyPath, std::wstring& last,
                     const std::function<bool()>& cancelled, const RequestEngineOptions& options) {
    bool ended = false;
    std::uint32_t tries = 0;
    PollUntil(
        [&] {
            if (tries++ > 0) {
                Pump(options);
                if (cancelled && cancelled()) return true;  // seen again at the next poll's start
            }
            last = link.NextMessage();
            ended = EndsWait(last, replyPath);
            return ended;
        },
        PollPlan{options.pollSleepMs, kReplyStepMs, kReplySpinTries, false});
    return ended;
}

}  // namespace

bool RequestEngine(ScanEngineLink* link, const std::wstring& path, std::wstring& reply, bool isClean,
                   std::int32_t& code, const std::function<bool()>& cancelled, const RequestEngineOptions& options) {
    code = kRequestNormal;
    const std::wstring expected = isClean ? kCleanReplyPrefix : kScanReplyPrefix;
    if (link == nullptr || !link->IsPipeAlive()) return false;
    // The path as the reply carries it: itself, unless it is too long for a reply or holds "::".
    const std::wstring replyPath = ReplyPathField(ToEnginePath(path));
    if (!link->SendMsgToUTF8HexStr(EngineRequestText(path, isClean))) return false;
    std::wstring last;
    for (std::int32_t poll = 0; poll < options.polls; ++poll) {
        Pump(options);
        if (cancelled && cancelled()) return false;
        if (options.aliveTestEachPoll && !link->IsPipeAlive()) return false;
        if (AwaitWithinPoll(*link, replyPath, last, cancelled, options)) break;
    }
    if (IsEngineExitText(last)) {
        code = kRequestEngineExit;
        return false;
    }
    reply = last;
    if (last.find(expected) != std::wstring::npos) return true;
    code = kRequestNoReply;
    return false;
}

}  // namespace tessaly
