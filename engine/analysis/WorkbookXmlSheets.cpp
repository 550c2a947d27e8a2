// Attribute values are rewritten in place inside each element's text; elements are found with the
// same literal-tag matching the package cleaner uses.
#include "WorkbookXmlSheets.h"

#include <algorithm>

#include "Ooxml.h"
#include "SheetRenumbering.h"

namespace tessaly::analysis::ooxml {
namespace {

int Number(const std::string& text, int fallback) {
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return fallback;
    return std::stoi(text);
}

// The element with `attribute`'s value replaced by a number.
std::string WithAttribute(std::string_view element, std::string_view attribute, int value) {
    return WithAttributeValue(element, attribute, std::to_string(value));
}

}  // namespace

std::string FollowRemovedSheets(std::string xml, const std::vector<bool>& removed) {
    const SheetRenumbering map(removed);
    if (map.kept() == 0) return xml;
    xml = ReplaceElements(xml, "definedName", [&](std::string_view element) {
        const std::string sheet = AttributeValue(element, "localSheetId");
        if (sheet.empty()) return std::string(element);
        const int index = map.New(static_cast<std::size_t>(Number(sheet, -1)));
        return index < 0 ? std::string{} : WithAttribute(element, "localSheetId", index);
    });
    xml = ReplaceElements(xml, "workbookView", [&](std::string_view element) {
        int active = map.New(static_cast<std::size_t>(Number(AttributeValue(element, "activeTab"), 0)));
        if (active < 0) active = 0;
        const int first = std::min(std::max(map.New(static_cast<std::size_t>(Number(AttributeValue(element, "firstSheet"), 0))), 0), active);
        return WithAttribute(WithAttribute(element, "activeTab", active), "firstSheet", first);
    });
    return xml;
}

}  // namespace tessaly::analysis::ooxml
