// The support contact that every message pointing the user at the maker ends with. A macro as well
// as a constant, so layout tables can join it into their caption literals.
#pragma once

#define TESSALY_SUPPORT_CONTACT L"800020210"

namespace tessaly {

inline constexpr wchar_t kSupportContact[] = TESSALY_SUPPORT_CONTACT;

}  // namespace tessaly
