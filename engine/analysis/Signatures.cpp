// Signature parsing and matching. Matching is plain substring search over the normalised text:
// macro viruses are copied as source, so their distinctive statements survive intact.
#include "Signatures.h"

#include <algorithm>
#include <cctype>

#include "BuiltinSignatures.inc"
#include "Text.h"
#include "TextLines.h"

namespace tessaly::analysis {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool Contains(std::string_view text, const std::string& pattern) { return text.find(pattern) != std::string_view::npos; }

bool Usable(const Signature& s) { return !s.name.empty() && (!s.all.empty() || !s.any.empty()); }

Signature::Target TargetNamed(std::string_view value) {
    if (value == "xlm") return Signature::Target::kXlm;
    if (value == "wordbasic") return Signature::Target::kWordBasic;
    if (value == "any") return Signature::Target::kAny;
    return Signature::Target::kVba;
}

}  // namespace

std::string NormaliseSource(std::string_view source) {
    std::string out;
    out.reserve(source.size());
    bool blank = false;
    for (std::size_t i = 0; i < source.size(); ++i) {
        char c = source[i];
        // " _" at a line end continues the statement on the next line.
        if (c == '_' && (i == 0 || source[i - 1] == ' ') && i + 1 < source.size() &&
            (source[i + 1] == '\r' || source[i + 1] == '\n')) {
            c = ' ';
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out.push_back(' ');
        blank = false;
        out.push_back(AsciiLower(c));
    }
    return out;
}

SignatureSet SignatureSet::Parse(std::string_view text) {
    SignatureSet set;
    Signature current;
    auto flush = [&] {
        if (Usable(current)) set.m_signatures.push_back(std::move(current));
        current = Signature{};
    };
    ForEachLine(text, [&](std::string_view raw) {
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') return;
        if (line.front() == '[' && line.back() == ']') {
            flush();
            current.name = std::string(Trim(line.substr(1, line.size() - 2)));
            return;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || current.name.empty()) return;
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string value = NormaliseSource(Trim(line.substr(eq + 1)));
        if (value.empty()) return;
        if (key == "all") current.all.push_back(value);
        else if (key == "any") current.any.push_back(value);
        else if (key == "none") current.none.push_back(value);
        else if (key == "start") current.needsAutoStart = value == "auto";
        else if (key == "target") current.target = TargetNamed(value);
    });
    flush();
    return set;
}

SignatureSet SignatureSet::Builtin() {
    return Parse(std::string_view(reinterpret_cast<const char*>(kBuiltinSignatureBytes), sizeof kBuiltinSignatureBytes - 1));
}

std::optional<std::string> SignatureSet::Match(std::string_view source, Signature::Target language,
                                               bool startsItself) const {
    for (const Signature& s : m_signatures) {
        if (s.target != Signature::Target::kAny && s.target != language) continue;
        if (s.needsAutoStart && !startsItself) continue;
        if (!std::all_of(s.all.begin(), s.all.end(), [&](const std::string& p) { return Contains(source, p); })) continue;
        if (!s.any.empty() &&
            std::none_of(s.any.begin(), s.any.end(), [&](const std::string& p) { return Contains(source, p); }))
            continue;
        if (std::any_of(s.none.begin(), s.none.end(), [&](const std::string& p) { return Contains(source, p); })) continue;
        return s.name;
    }
    return std::nullopt;
}

}  // namespace tessaly::analysis
