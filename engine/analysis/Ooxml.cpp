// Part names are compared in lower case and without a leading "/", as OPC treats them.
#include "Ooxml.h"

#include <optional>

namespace tessaly::analysis::ooxml {
namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string DecodeEntities(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out.push_back(text[i]);
            continue;
        }
        static constexpr std::pair<std::string_view, char> kEntities[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        bool matched = false;
        for (auto [entity, c] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                out.push_back(c);
                i += entity.size() - 1;
                matched = true;
                break;
            }
        }
        if (!matched) out.push_back('&');
    }
    return out;
}

}  // namespace

namespace {

// Where the raw value of `attribute` lies inside `element`, as (offset, length).
std::optional<std::pair<std::size_t, std::size_t>> ValueSpan(std::string_view element, std::string_view attribute) {
    std::size_t at = 0;
    while ((at = element.find(attribute, at)) != std::string_view::npos) {
        const bool boundary = at > 0 && (element[at - 1] == ' ' || element[at - 1] == '\t' ||
                                         element[at - 1] == '\n' || element[at - 1] == '\r');
        std::size_t p = at + attribute.size();
        while (p < element.size() && element[p] == ' ') ++p;
        if (boundary && p < element.size() && element[p] == '=') {
            ++p;
            while (p < element.size() && element[p] == ' ') ++p;
            if (p < element.size() && (element[p] == '"' || element[p] == '\'')) {
                const char quote = element[p];
                const std::size_t end = element.find(quote, p + 1);
                if (end == std::string_view::npos) return std::nullopt;
                return std::make_pair(p + 1, end - p - 1);
            }
        }
        at += attribute.size();
    }
    return std::nullopt;
}

}  // namespace

std::string AttributeValue(std::string_view element, std::string_view attribute) {
    const auto value = ValueSpan(element, attribute);
    return value ? DecodeEntities(element.substr(value->first, value->second)) : std::string{};
}

std::string WithAttributeValue(std::string_view element, std::string_view attribute, std::string_view value) {
    std::string out(element);
    if (const auto old = ValueSpan(element, attribute)) out.replace(old->first, old->second, value);
    return out;
}

std::vector<std::pair<std::size_t, std::size_t>> FindElements(std::string_view xml, std::string_view tag) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    const std::string open = "<" + std::string(tag);
    const std::string close = "</" + std::string(tag) + ">";
    std::size_t at = 0;
    while ((at = xml.find(open, at)) != std::string_view::npos) {
        const std::size_t after = at + open.size();
        if (after >= xml.size() || !(xml[after] == ' ' || xml[after] == '>' || xml[after] == '/' ||
                                     xml[after] == '\t' || xml[after] == '\r' || xml[after] == '\n')) {
            at = after;
            continue;
        }
        const std::size_t gt = xml.find('>', after);
        if (gt == std::string_view::npos) break;
        std::size_t end = gt + 1;
        if (xml[gt - 1] != '/') {
            const std::size_t closing = xml.find(close, gt);
            if (closing == std::string_view::npos) break;
            end = closing + close.size();
        }
        found.emplace_back(at, end - at);
        at = end;
    }
    return found;
}

ContentTypes ContentTypes::Parse(std::string_view xml) {
    ContentTypes types;
    for (auto [at, length] : FindElements(xml, "Override")) {
        const std::string_view element = xml.substr(at, length);
        std::string part = LowerAscii(AttributeValue(element, "PartName"));
        if (!part.empty() && part.front() == '/') part.erase(0, 1);
        types.m_overrides.emplace(std::move(part), LowerAscii(AttributeValue(element, "ContentType")));
    }
    for (auto [at, length] : FindElements(xml, "Default")) {
        const std::string_view element = xml.substr(at, length);
        types.m_defaults.emplace(LowerAscii(AttributeValue(element, "Extension")),
                                 LowerAscii(AttributeValue(element, "ContentType")));
    }
    return types;
}

std::string ContentTypes::TypeOf(std::string_view partName) const {
    std::string lower = LowerAscii(partName);
    if (!lower.empty() && lower.front() == '/') lower.erase(0, 1);
    if (auto found = m_overrides.find(lower); found != m_overrides.end()) return found->second;
    const std::size_t dot = lower.rfind('.');
    if (dot == std::string::npos || lower.find('/', dot) != std::string::npos) return {};
    if (auto found = m_defaults.find(lower.substr(dot + 1)); found != m_defaults.end()) return found->second;
    return {};
}

bool IsVbaProjectPart(std::string_view name, const ContentTypes& types) {
    if (EndsWith(LowerAscii(name), "vbaproject.bin")) return true;
    return types.TypeOf(name).find("vbaproject") != std::string::npos;
}

bool IsMacroSheetPart(std::string_view name, const ContentTypes& types) {
    const std::string lower = LowerAscii(name);
    if (lower.find("macrosheets/") != std::string::npos && !EndsWith(lower, ".rels")) return true;
    return types.TypeOf(name).find("macrosheet") != std::string::npos;
}

bool IsVbaProjectPart(const zip::Archive&, std::string_view name, std::string_view contentTypes) {
    return IsVbaProjectPart(name, ContentTypes::Parse(contentTypes));
}

bool IsVbaDataPart(std::string_view name) { return EndsWith(LowerAscii(name), "vbadata.xml"); }

bool IsMacroSheetPart(std::string_view name, std::string_view contentTypes) {
    return IsMacroSheetPart(name, ContentTypes::Parse(contentTypes));
}

std::string ElementText(std::string_view element) {
    const std::size_t gt = element.find('>');
    const std::size_t end = element.rfind("</");
    if (gt == std::string_view::npos || end == std::string_view::npos || end < gt) return {};
    return DecodeEntities(element.substr(gt + 1, end - gt - 1));
}

std::string MacroSheetFormulas(std::string_view xml) {
    std::string out;
    for (auto [at, length] : FindElements(xml, "f")) {
        const std::string_view element = xml.substr(at, length);
        if (element.rfind("</f>") == std::string_view::npos) continue;  // <f/> holds no formula
        out += ElementText(element);
        out.push_back('\n');
    }
    return UpperAscii(out);
}

bool IsAutoStartName(std::string_view element) {
    const std::string name = AttributeValue(element, "name");
    for (std::string_view prefix : {"_xlnm.auto_open", "auto_open", "_xlnm.auto_activate", "auto_activate"})
        if (StartsWithNoCase(name, prefix)) return true;
    return false;
}

bool HasAutoOpenName(std::string_view workbookXml) {
    for (auto [at, length] : FindElements(workbookXml, "definedName"))
        if (IsAutoStartName(workbookXml.substr(at, length))) return true;
    return false;
}

}  // namespace tessaly::analysis::ooxml
