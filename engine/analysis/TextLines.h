// Splitting source text into lines the way Office writes them: CR LF on Windows, a lone CR in
// Mac-era and some recorded macros, a lone LF from other tools. Every reader that splits macro
// source or signature text goes through this, so no line ending hides a line.
#pragma once

#include <cstddef>
#include <string_view>

namespace tessaly::analysis {

// Calls visit(line) for each line of text without its ending; a final line without an ending is
// visited too, an empty text visits nothing.
template <typename F>
void ForEachLine(std::string_view text, F&& visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        visit(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
}

inline bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace tessaly::analysis
