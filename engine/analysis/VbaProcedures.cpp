// Procedure boundaries come from the keywords alone: a header is "sub", "function" or "property
// get/let/set" followed by a name, unless it ends a block ("end sub"), leaves it ("exit sub") or
// declares an external function ("declare ptrsafe function ... lib").
#include "VbaProcedures.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>

namespace tessaly::analysis {
namespace {

constexpr std::array<std::string_view, 14> kAutoStartNames = {
    "autoopen", "auto_open", "autoexec", "autonew", "autoclose", "auto_close", "document_open", "document_close",
    "document_new", "workbook_open", "workbook_activate", "workbook_beforeclose", "auto_activate",
    "workbook_sheetactivate"};

bool IsNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; }

std::string_view WordBefore(std::string_view text, std::size_t at) {
    while (at > 0 && text[at - 1] == ' ') --at;
    std::size_t start = at;
    while (start > 0 && IsNameChar(text[start - 1])) --start;
    return text.substr(start, at - start);
}

std::string_view NameAt(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    return text.substr(at, end - at);
}

// The keyword ("sub ", "function ", "property get "...) of a header starting at `at`, if any.
std::size_t HeaderKeywordLength(std::string_view text, std::size_t at) {
    if (at > 0 && IsNameChar(text[at - 1])) return 0;
    for (std::string_view k : {"sub ", "function ", "property get ", "property let ", "property set "}) {
        if (text.substr(at, k.size()) != k) continue;
        const std::string_view before = WordBefore(text, at);
        if (before == "end" || before == "exit" || before == "declare" || before == "ptrsafe") return 0;
        return k.size();
    }
    return 0;
}

// Ends of every block in order, each the position just past its "end sub/function/property".
std::vector<std::size_t> BlockEnds(std::string_view text) {
    std::vector<std::size_t> ends;
    for (std::string_view close : {"end sub", "end function", "end property"}) {
        for (std::size_t at = text.find(close); at != std::string_view::npos; at = text.find(close, at + 1))
            if (at == 0 || !IsNameChar(text[at - 1])) ends.push_back(at + close.size());
    }
    std::sort(ends.begin(), ends.end());
    return ends;
}

}  // namespace

std::vector<Procedure> SplitProcedures(std::string_view text) {
    std::vector<Procedure> out;
    const std::vector<std::size_t> ends = BlockEnds(text);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t keyword = HeaderKeywordLength(text, at);
        const std::string_view name = keyword ? NameAt(text, at + keyword) : std::string_view{};
        if (name.empty()) {
            ++at;
            continue;
        }
        const auto next = std::lower_bound(ends.begin(), ends.end(), at + keyword + name.size());
        const std::size_t end = next == ends.end() ? text.size() : *next;
        out.push_back({name, text.substr(at, end - at)});
        at = end;
    }
    return out;
}

bool IsAutoStartName(std::string_view name) {
    return std::find(kAutoStartNames.begin(), kAutoStartNames.end(), name) != kAutoStartNames.end();
}

std::vector<Procedure> ReachedFromAutoStart(const std::vector<ModuleText>& modules) {
    std::vector<Procedure> all;
    for (const ModuleText& m : modules) {
        auto procedures = SplitProcedures(m.text);
        all.insert(all.end(), procedures.begin(), procedures.end());
    }
    auto isModule = [&](std::string_view name) {
        return !name.empty() && std::any_of(modules.begin(), modules.end(), [&](const ModuleText& m) { return m.name == name; });
    };
    std::multimap<std::string_view, std::size_t> byName;
    for (std::size_t i = 0; i < all.size(); ++i) byName.emplace(all[i].name, i);
    std::vector<bool> reached(all.size(), false);
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (IsAutoStartName(all[i].name)) {
            reached[i] = true;
            pending.push_back(i);
        }
    }
    while (!pending.empty()) {
        const std::string_view text = all[pending.back()].text;
        pending.pop_back();
        for (std::size_t at = 0; at < text.size();) {
            if (!IsNameChar(text[at])) {
                ++at;
                continue;
            }
            const std::string_view word = NameAt(text, at);
            // A member of some object ("x.Create") is a call into a class, not to a procedure of
            // the project's modules; following those names would reach every library routine.
            const bool member = at > 0 && text[at - 1] == '.' && !isModule(WordBefore(text, at - 1));
            at += word.size();
            if (member) continue;
            for (auto [it, last] = byName.equal_range(word); it != last; ++it) {
                if (reached[it->second]) continue;
                reached[it->second] = true;
                pending.push_back(it->second);
            }
        }
    }
    std::vector<Procedure> out;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (reached[i]) out.push_back(all[i]);
    return out;
}

}  // namespace tessaly::analysis
