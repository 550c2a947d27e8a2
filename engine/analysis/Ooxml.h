// OOXML package parts that matter for macros: which parts are VBA projects or Excel 4.0 macro
// sheets (by content type or name), the formulas of macro sheets, and auto-open defined names.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Text.h"
#include "Zip.h"

namespace tessaly::analysis::ooxml {

inline constexpr std::string_view kContentTypesPart = "[Content_Types].xml";

// [Content_Types].xml parsed once: a part's type is its Override, else the Default of its extension.
class ContentTypes {
public:
    static ContentTypes Parse(std::string_view xml);
    // Lower case; empty when neither gives one.
    [[nodiscard]] std::string TypeOf(std::string_view partName) const;

private:
    std::map<std::string, std::string> m_overrides;  // lower-case part name without "/", lower-case type
    std::map<std::string, std::string> m_defaults;   // lower-case extension, lower-case type
};

bool IsVbaProjectPart(std::string_view name, const ContentTypes& types);
bool IsMacroSheetPart(std::string_view name, const ContentTypes& types);
// The same over the unparsed text (parsed on each call).
bool IsVbaProjectPart(const zip::Archive& archive, std::string_view name, std::string_view contentTypes);
bool IsVbaDataPart(std::string_view name);
bool IsMacroSheetPart(std::string_view name, std::string_view contentTypes);
// The formulas of a macro sheet part, entities decoded, upper case, one per line.
std::string MacroSheetFormulas(std::string_view xml);
// Defined names of workbook.xml that start macros when the workbook opens.
bool HasAutoOpenName(std::string_view workbookXml);
// Whether a <definedName> element is one of those.
bool IsAutoStartName(std::string_view definedNameElement);

// Small XML helpers shared with the cleaner: elements are matched by their literal tag names as
// Office writes them.
using analysis::LowerAscii;
std::string AttributeValue(std::string_view element, std::string_view attribute);
// `element` with the value of `attribute` replaced by `value` (written as it is); unchanged when
// the element has no such attribute.
std::string WithAttributeValue(std::string_view element, std::string_view attribute, std::string_view value);
// The text an element holds, entities decoded: what lies between its start tag and its end tag.
std::string ElementText(std::string_view element);
// Each element `<tag .../>` or `<tag ...>...</tag>` in order, as (offset, length).
std::vector<std::pair<std::size_t, std::size_t>> FindElements(std::string_view xml, std::string_view tag);
// `xml` with each element `tag` replaced by what `edit` makes of it (an empty text removes it),
// written in one pass however many elements change.
template <typename Edit>
std::string ReplaceElements(std::string_view xml, std::string_view tag, Edit edit) {
    std::string out;
    out.reserve(xml.size());
    std::size_t from = 0;
    for (auto [at, length] : FindElements(xml, tag)) {
        out.append(xml.substr(from, at - from));
        out += edit(xml.substr(at, length));
        from = at + length;
    }
    out.append(xml.substr(from));
    return out;
}

}  // namespace tessaly::analysis::ooxml
