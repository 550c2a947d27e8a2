// The update temporary folder: "zdvupdate_tmp" in the folder that TEMP names. It holds the
// downloaded package, the updater's temporary copy and the download agent's task files.
#pragma once

#include <string>

namespace tessaly::updater {

// With its trailing "\"; created when missing (failures ignored, the path is returned anyway).
std::wstring GetUpdateTempFolder();
// A new, empty, uniquely named "kwt….tmp" file in that folder, made by the platform; "" when
// the platform refuses.
std::wstring GetUpdateTempFileName();

}  // namespace tessaly::updater
