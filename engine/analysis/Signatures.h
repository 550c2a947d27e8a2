// The engine's signature file: named virus descriptions, each a set of patterns over the
// normalised macro source. Text format (UTF-8, '#' starts a comment line):
//
//   [W97M.Example]
//   target = vba        (vba, xlm or any; default vba)
//   all = pattern       (every one must occur)
//   any = pattern       (at least one must occur, when any are given)
//   none = pattern      (none may occur)
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
    enum class Target { kVba, kXlm, kAny } target = Target::kVba;
    std::vector<std::string> all, any, none;
};

class SignatureSet {
public:
    // Malformed lines are skipped; a section without patterns is dropped.
    static SignatureSet Parse(std::string_view text);
    static SignatureSet Builtin();

    [[nodiscard]] std::size_t size() const { return m_signatures.size(); }
    // Name of the first signature matching this normalised source, if any.
    [[nodiscard]] std::optional<std::string> Match(std::string_view normalisedSource, bool isXlm) const;

private:
    std::vector<Signature> m_signatures;
};

std::string NormaliseSource(std::string_view source);

}  // namespace tessaly::analysis
