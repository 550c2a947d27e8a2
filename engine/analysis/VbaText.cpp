// A small lexer over logical lines: only string literals matter, because a quote or "Rem" inside
// one is text, not a comment.
#include "VbaText.h"

#include "Text.h"
#include "TextLines.h"

namespace tessaly::analysis {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A physical line ending in a blank and "_" continues on the next one.
bool Continues(std::string_view line) {
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    return line.size() >= 2 && line.back() == '_' && IsBlank(line[line.size() - 2]);
}

bool RemAt(std::string_view line, std::size_t at) {
    if (at + 3 > line.size()) return false;
    if (!StartsWithNoCase(line.substr(at), "rem")) return false;
    return at + 3 == line.size() || IsBlank(line[at + 3]) || line[at + 3] == ':';
}

// The logical line without its comment.
std::string_view CodeOf(std::string_view line) {
    bool inString = false;
    bool statementStart = true;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inString) {
            if (c == '"') inString = false;  // a doubled quote reopens at once on the next character
            continue;
        }
        if (c == '"') {
            inString = true;
            statementStart = false;
        } else if (c == '\'') {
            return line.substr(0, i);
        } else if (statementStart && !IsBlank(c)) {
            if (RemAt(line, i)) return line.substr(0, i);
            statementStart = false;
        }
        if (c == ':') statementStart = true;
    }
    return line;
}

}  // namespace

std::string StripVbaComments(std::string_view source) {
    std::string out;
    out.reserve(source.size());
    std::string logical;
    ForEachLine(source, [&](std::string_view line) {
        if (Continues(line)) {
            while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
            logical.append(line.substr(0, line.size() - 1));
            return;
        }
        logical.append(line);
        out.append(CodeOf(logical));
        out.push_back('\n');
        logical.clear();
    });
    if (!logical.empty()) {
        out.append(CodeOf(logical));
        out.push_back('\n');
    }
    return out;
}

}  // namespace tessaly::analysis
