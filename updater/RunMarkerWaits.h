// The updater's waits on run markers: for the installing marker to appear, and for every other
// program's marker to go before the package runs.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly::updater {

// True as soon as the marker exists; False when `polls` polls of `intervalMs` passed without it.
bool WaitForRunMarker(const std::wstring& name, std::uint32_t intervalMs, std::uint32_t polls);
// True as soon as no marker but "zdvinstalling" is left in folder ("" = per-machine data folder);
// False when another marker stayed for all the polls.
bool WaitOtherProgramsExit(std::uint32_t intervalMs, std::uint32_t polls, const std::wstring& folder);
// True when folder ("" = per-machine data folder) holds a marker other than `name`, compared
// ignoring case. The scan engine's "zdvcore" counts like every other marker.
bool IsOtherRunMarkerPresent(const std::wstring& name, const std::wstring& folder);

}  // namespace tessaly::updater
