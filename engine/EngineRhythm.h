// How often the engine looks at the send mailbox: without sleeping just after a request and at
// millisecond steps while a client is in the middle of a scan, so a request is answered as soon as
// it is written; in growing steps when nobody asks, so an idle engine costs next to nothing.
#pragma once

#include <windows.h>

namespace tessaly::engine {

enum class RequestKind {
    File,     // a scan or clean request: a client is in the middle of a scan
    ScanEnd,  // statistics or a client leaving: that scan is over
    Other,
};

class EngineRhythm {
public:
    explicit EngineRhythm(ULONGLONG now) noexcept : m_lastRequest(now) {}

    void Served(RequestKind kind, ULONGLONG now) noexcept;
    [[nodiscard]] ULONGLONG SinceRequest(ULONGLONG now) const noexcept { return now - m_lastRequest; }
    // Gives the processor away until the next look.
    void Rest(ULONGLONG now) const noexcept;

private:
    [[nodiscard]] bool MidScan(ULONGLONG now) const noexcept;

    ULONGLONG m_lastRequest;
    ULONGLONG m_lastFileRequest = 0;
    bool m_scanOpen = false;
};

}  // namespace tessaly::engine
