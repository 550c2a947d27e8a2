// The path as the threat notice shows it: longer than 80 characters, it becomes its first 25
// characters, "..." and its last 25; the notice's tool tip keeps the whole text.
#pragma once

#include <string>

namespace tessaly::guard {

std::wstring NoticePathText(const std::wstring& path);

}  // namespace tessaly::guard
