// The once-a-day gate of the update check, asked by the updater and the tray program: a check is
// due unless the settings file says one already ran today.
#pragma once

namespace tessaly {

// False exactly when "general"/LastCheckUpdate of config.dat equals today's date text; True when it
// differs, is missing or garbage, and on any failure.
bool IsCheckDue() noexcept;

}  // namespace tessaly
