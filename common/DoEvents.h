// Lets the window messages that are waiting run, so that long work on the UI thread keeps the
// windows responsive. Returns false once WM_QUIT was seen (it is posted again for the outer loop).
#pragma once

namespace tessaly {

// Timed waits are bounded polls (BoundedPoll.h), which run this between their tries.
bool DoEvents() noexcept;

}  // namespace tessaly
