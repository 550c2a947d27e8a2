// What the guard and its silent page share about a background scan: the scan source code it
// reports, the mark that says more than one virus was found, and how the guard's settings
// ("MonitorDoAction", "MonitorNotification") read as numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessaly {

inline constexpr std::int32_t kBackgroundScanSource = 5;
// Appended to the first path and virus name when the scan found two or more viruses.
inline constexpr wchar_t kMoreVirusesMark[] = L" ...";
// "MonitorDoAction": clean every infected document at once, without a question.
inline constexpr double kDoActionCleanAtOnce = 2;

// The number a settings value holds: decimal digits with an optional sign, point and exponent,
// blanks around it allowed. nullopt for anything else, an empty value included.
std::optional<double> SettingNumber(const std::wstring& value);

}  // namespace tessaly
