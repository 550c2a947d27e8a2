// Version text (major.minor.revision) of an executable file.
#pragma once

#include <string>

namespace tessaly {

// "0.0.0" for a missing file or one without version information.
std::wstring GetFileVersion(const std::wstring& path);

}  // namespace tessaly
