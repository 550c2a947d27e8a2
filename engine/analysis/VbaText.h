// VBA source as the compiler reads it, for matching: comments are no code, so a commented-out
// line never names a virus or trips a heuristic.
#pragma once

#include <string>
#include <string_view>

namespace tessaly::analysis {

// The source with its logical lines joined (a line ending in " _" goes on, inside a comment too,
// as VBA reads it), every comment removed ("'" outside a string literal, or "Rem" at the start of
// a statement) and string literals kept as written. One logical line per output line.
std::string StripVbaComments(std::string_view source);

}  // namespace tessaly::analysis
