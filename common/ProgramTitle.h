// The programs' titles, carried by every message box of their windows that has none of its own.
#pragma once

namespace tessaly {

inline constexpr wchar_t kDrosselTitle[] = L"Tessaly(Brenmoor增强版)";
inline constexpr wchar_t kGuardTitle[] = L"ZDVGuard";
inline constexpr wchar_t kTrayTitle[] = L"Tessaly托盘App";

}  // namespace tessaly
