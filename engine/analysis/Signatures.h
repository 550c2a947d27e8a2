// The engine's signature file: named virus descriptions, each a set of patterns over the
// normalised macro source. Text format (UTF-8, '#' starts a comment line):
//
//   [W97M.Example]
//   target = vba        (vba, xlm, wordbasic or any; default vba)
//   all = pattern       (every one must occur)
//   any = pattern       (at least one must occur, when any are given)
//   none = pattern      (none may occur)
//   start = auto        (only when the document's macros start themselves: for descriptions of a
//                        behaviour that ordinary macros share, such as downloading a file)
//
// Patterns match the source after normalisation: lower case, line continuations joined, every run
// of white space one blank.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::analysis {

struct Signature {
    std::string name;
    enum class Target { kVba, kXlm, kWordBasic, kAny } target = Target::kVba;
    bool needsAutoStart = false;
    std::vector<std::string> all, any, none;
};

class SignatureSet {
public:
    // Malformed lines are skipped; a section without patterns is dropped.
    static SignatureSet Parse(std::string_view text);
    static SignatureSet Builtin();

    [[nodiscard]] std::size_t size() const { return m_signatures.size(); }
    // Name of the first signature matching this normalised source, if any.
    [[nodiscard]] std::optional<std::string> Match(std::string_view normalisedSource, Signature::Target language,
                                                   bool startsItself) const;

private:
    std::vector<Signature> m_signatures;
};

std::string NormaliseSource(std::string_view source);

}  // namespace tessaly::analysis
