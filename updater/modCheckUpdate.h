// The updater's once-a-day gate, compiled into the updater and the tray program: an update check is
// due unless the settings file says one already ran today.
#pragma once

namespace tessaly {

// False exactly when "general"/LastCheckUpdate of config.dat equals today's date text; True when it
// differs, is missing or garbage, and on any failure.
bool IsCheckDue() noexcept;

}  // namespace tessaly
