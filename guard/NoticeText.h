// The path as the threat notice shows it: longer than 80 characters, it becomes its first 25
// characters, "..." and its last 25; the notice's tool tip keeps the whole text.
#pragma once

#include <functional>
#include <string>

namespace tessaly::guard {

std::wstring NoticePathText(const std::wstring& path);

// The text shortened in its middle ("..." between as much of its start and of its end as fit)
// until width() of it is at most room; the whole text when it fits. Characters that take two
// UTF-16 units are never split.
std::wstring FitInMiddle(const std::wstring& text, int room, const std::function<int(const std::wstring&)>& width);

}  // namespace tessaly::guard
