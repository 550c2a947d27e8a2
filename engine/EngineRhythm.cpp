// The engine's polling steps.
#include "EngineRhythm.h"

namespace tessaly::engine {
namespace {

// Just after a request the next one usually follows at once: only yield for this long.
constexpr ULONGLONG kYieldWindowMs = 20;
// A scan that sent nothing for this long is taken as abandoned.
constexpr ULONGLONG kScanOpenMs = 60000;
constexpr ULONGLONG kBusyWindowMs = 3000;
constexpr ULONGLONG kQuietWindowMs = 60000;
constexpr DWORD kBusyStepMs = 1;
constexpr DWORD kQuietStepMs = 10;
constexpr DWORD kDormantStepMs = 50;

}  // namespace

void EngineRhythm::Served(RequestKind kind, ULONGLONG now) noexcept {
    m_lastRequest = now;
    if (kind == RequestKind::File) {
        m_scanOpen = true;
        m_lastFileRequest = now;
    } else if (kind == RequestKind::ScanEnd) {
        m_scanOpen = false;
    }
}

bool EngineRhythm::MidScan(ULONGLONG now) const noexcept {
    return m_scanOpen && now - m_lastFileRequest < kScanOpenMs;
}

void EngineRhythm::Rest(ULONGLONG now) const noexcept {
    const ULONGLONG since = SinceRequest(now);
    if (since < kYieldWindowMs) {
        ::SwitchToThread();
        return;
    }
    if (MidScan(now) || since < kBusyWindowMs) {
        ::Sleep(kBusyStepMs);
        return;
    }
    ::Sleep(since < kQuietWindowMs ? kQuietStepMs : kDormantStepMs);
}

}  // namespace tessaly::engine
