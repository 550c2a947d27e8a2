// The machine facts of the update request: a query of key=value pairs whose values are hex-UTF-8,
// in a short form (identity and platform major version) or a full form (hardware, platform,
// screen, default browser, default document application and its add-ins).
#pragma once

#include <string>

#include "ScreenSize.h"

namespace tessaly {
class ClsWMI;
}

namespace tessaly::updater {

// wmi is asked for the identity and, in the full form, for the platform and processor.
std::wstring BuildMachineInfoQuery(bool full, const std::wstring& configPath, ClsWMI& wmi);
// Base name of the program that opens https links; "unknown" when none is registered.
std::wstring GetHttpsBrowserName();
// Lower-case base name of the program of a shell open command, without folder and ".exe".
std::wstring GetExeNameFromCommand(const std::wstring& command);
// "DocShellApp=<hex>&DocShellVer=<hex>&OfficeAddins=<hex>" for the default document application.
std::wstring GetDocShellQuery();

}  // namespace tessaly::updater
