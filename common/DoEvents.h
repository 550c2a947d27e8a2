// Lets the window messages that are waiting run, so that long work on the UI thread keeps the
// windows responsive. Returns false once WM_QUIT was seen (it is posted again for the outer loop).
#pragma once

namespace tessaly {

bool DoEvents() noexcept;
// Sleeps about `milliseconds` while letting window events run; returns early when a message arrives
// only after it has been dispatched, so the wait stays bounded by the given time.
void SleepWithEvents(unsigned milliseconds) noexcept;

}  // namespace tessaly
