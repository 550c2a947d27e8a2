// Names of the Excel 4.0 functions and commands that formulas call by number. A number means a
// function of the function table, unless the formula marks it as a command equivalent: then the
// same number names a command (110 is EXEC as a function, DELETE.NAME as a command).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly::analysis::xlm {

inline constexpr std::uint16_t kCommandBit = 0x8000;

// For ptgFunc, whose number is always a function; the name with its opening parenthesis, for the
// functions and commands macro analysis cares about.
std::optional<std::string_view> FunctionName(std::uint16_t iftab);
// For ptgFuncVar, whose top bit says command equivalent.
std::optional<std::string_view> VariableFunctionName(std::uint16_t tab);

}  // namespace tessaly::analysis::xlm
