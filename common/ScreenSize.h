// The screen's size in pixels: the guard's threat notice places itself by it and the updater
// reports it among the machine facts.
#pragma once

namespace tessaly {

// Width and height of the primary screen; 0 and 0 when the platform does not say.
void GetScreenSize(int& width, int& height) noexcept;

}  // namespace tessaly
