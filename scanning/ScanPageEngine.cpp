#include "ScanPageEngine.h"

#include "ClsPipeShareMem.h"
#include "DoEvents.h"
#include "ScanPageReplies.h"

namespace tessaly {

bool PipeShareMemLink::IsPipeAlive() { return m_pipe.IsPipeAlive(); }
bool PipeShareMemLink::SendMsgToUTF8HexStr(const std::wstring& text) { return m_pipe.SendMsgToUTF8HexStr(text); }
std::wstring PipeShareMemLink::NextMessage() {
    std::wstring message;
    m_pipe.RecvMsgFromUTF8encoding(message, true);
    return message;
}

namespace {

void Pump(const RequestEngineOptions& options) {
    if (options.pumpEvents)
        options.pumpEvents();
    else
        DoEvents();
}

// The wait ends on an exit text or on any message that names the requested path.
bool EndsWait(const std::wstring& message, const std::wstring& enginePath) {
    if (message.empty() || message.find(L"::") == std::wstring::npos) return false;
    return IsEngineExitText(message) || message.find(enginePath) != std::wstring::npos;
}

}  // namespace

bool RequestEngine(ScanEngineLink* link, const std::wstring& path, std::wstring& reply, bool isClean,
                   std::int32_t& code, const std::function<bool()>& cancelled, const RequestEngineOptions& options) {
    code = kRequestNormal;
    const std::wstring expected = isClean ? kCleanReplyPrefix : kScanReplyPrefix;
    if (link == nullptr || !link->IsPipeAlive()) return false;
    const std::wstring enginePath = ToEnginePath(path);
    if (!link->SendMsgToUTF8HexStr(EngineRequestText(path, isClean))) return false;
    std::wstring last;
    for (std::int32_t poll = 0; poll < options.polls; ++poll) {
        Pump(options);
        if (cancelled && cancelled()) return false;
        if (options.aliveTestEachPoll && !link->IsPipeAlive()) return false;
        last = link->NextMessage();
        if (EndsWait(last, enginePath)) break;
        Pump(options);
        if (options.pollSleepMs > 0) SleepWithEvents(options.pollSleepMs);
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
