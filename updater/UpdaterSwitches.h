// The updater's command line: switches count wherever they occur in the lower-cased text.
#pragma once

#include <string>

namespace tessaly::updater {

struct UpdaterSwitches {
    bool ui = false;           // "/ui": the window is shown
    bool manual = false;       // "/manual": check even when the once-a-day gate says no
    bool upgrading = false;    // "/upgrading " (with its blank)
    bool installPath = false;  // "/installpath " (with its blank)
    // Text between "/installpath " plus a double quote and the next double quote, lower-cased;
    // empty when either quote is missing.
    std::wstring installFolder;
};

UpdaterSwitches ParseSwitches(const std::wstring& arguments);

// The arguments for a program started with an installation folder: "/installpath " and the folder
// in double quotes.
std::wstring InstallPathArgument(const std::wstring& folder);

inline constexpr wchar_t kSwitchVerySilent[] = L"/verysilent ";
inline constexpr wchar_t kSwitchUpgrading[] = L"/upgrading ";

}  // namespace tessaly::updater
