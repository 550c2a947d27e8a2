// The main program's title, carried by every message box of its windows that has none of its own.
#pragma once

namespace tessaly {

inline constexpr wchar_t kDrosselTitle[] = L"Tessaly(Brenmoor增强版)";

}  // namespace tessaly
