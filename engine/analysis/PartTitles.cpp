// The titles follow their headings in order: the first heading's count of titles, then the
// second's, and so on. app.xml is edited element by element, so every title and heading that stays
// keeps its own text as it was written.
#include "PartTitles.h"

#include <algorithm>
#include <charconv>

#include "Ooxml.h"
#include "TitleRemoval.h"

namespace tessaly::analysis {

std::optional<TitleRemoval> PlanTitleRemoval(const PartTitles& t, const std::vector<std::string>& removed) {
    std::size_t listed = 0;
    for (const auto& [heading, count] : t.headings) {
        if (count < 0) return std::nullopt;
        listed += static_cast<std::size_t>(count);
    }
    if (listed != t.titles.size()) return std::nullopt;
    TitleRemoval plan{std::vector<bool>(t.titles.size(), false), {}};
    for (const std::string& name : removed) {
        std::size_t i = 0;
        while (i < t.titles.size() && (plan.titleRemoved[i] || t.titles[i] != name)) ++i;
        if (i == t.titles.size()) return std::nullopt;
        plan.titleRemoved[i] = true;
    }
    std::size_t first = 0;
    for (const auto& [heading, count] : t.headings) {
        const auto end = first + static_cast<std::size_t>(count);
        plan.newCounts.push_back(static_cast<std::int32_t>(
            std::count(plan.titleRemoved.begin() + static_cast<std::ptrdiff_t>(first), plan.titleRemoved.begin() + static_cast<std::ptrdiff_t>(end), false)));
        first = end;
    }
    return plan;
}

bool RemoveTitles(PartTitles& t, const std::vector<std::string>& removed) {
    const auto plan = PlanTitleRemoval(t, removed);
    if (!plan) return false;
    PartTitles kept;
    for (std::size_t k = 0; k < t.headings.size(); ++k)
        if (plan->newCounts[k] > 0) kept.headings.push_back({t.headings[k].first, plan->newCounts[k]});
    for (std::size_t i = 0; i < t.titles.size(); ++i)
        if (!plan->titleRemoved[i]) kept.titles.push_back(t.titles[i]);
    t = std::move(kept);
    return true;
}

namespace {

using Span = std::pair<std::size_t, std::size_t>;

// The one element `tag` inside `xml`, as (offset, length).
std::optional<Span> OnlyElement(std::string_view xml, std::string_view tag) {
    const auto found = ooxml::FindElements(xml, tag);
    if (found.size() != 1) return std::nullopt;
    return found.front();
}

// A vector element of app.xml: its start tag and the raw elements it holds.
struct Vector {
    Span place;  // in the whole text
    std::string_view startTag;
    std::vector<std::string_view> items;
};

std::optional<Vector> ReadVector(std::string_view xml, std::string_view property, std::string_view itemTag) {
    const auto outer = OnlyElement(xml, property);
    if (!outer) return std::nullopt;
    const std::string_view outerText = xml.substr(outer->first, outer->second);
    const auto vector = OnlyElement(outerText, "vt:vector");
    if (!vector) return std::nullopt;
    Vector v;
    v.place = {outer->first + vector->first, vector->second};
    const std::string_view text = outerText.substr(vector->first, vector->second);
    v.startTag = text.substr(0, text.find('>') + 1);
    for (auto [at, length] : ooxml::FindElements(text, itemTag)) v.items.push_back(text.substr(at, length));
    return v;
}

std::string Rebuilt(const Vector& v, std::size_t size, const std::string& items) {
    return ooxml::WithAttributeValue(v.startTag, "size", std::to_string(size)) + items + "</vt:vector>";
}

std::optional<std::int32_t> Number(std::string_view text) {
    std::int32_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return n;
}

}  // namespace

std::optional<std::string> AppPropertiesWithout(std::string_view xml, const std::vector<std::string>& removed) {
    const auto pairs = ReadVector(xml, "HeadingPairs", "vt:variant");
    const auto titles = ReadVector(xml, "TitlesOfParts", "vt:lpstr");
    if (!pairs || !titles || pairs->items.size() % 2 != 0 || pairs->place.first > titles->place.first) return std::nullopt;
    PartTitles listed;
    for (std::size_t k = 0; k < pairs->items.size(); k += 2) {
        const auto heading = OnlyElement(pairs->items[k], "vt:lpstr");
        const auto count = OnlyElement(pairs->items[k + 1], "vt:i4");
        const auto n = count ? Number(ooxml::ElementText(pairs->items[k + 1].substr(count->first, count->second))) : std::nullopt;
        if (!heading || !n) return std::nullopt;
        listed.headings.push_back({ooxml::ElementText(pairs->items[k].substr(heading->first, heading->second)), *n});
    }
    for (std::string_view title : titles->items) listed.titles.push_back(ooxml::ElementText(title));
    const auto plan = PlanTitleRemoval(listed, removed);
    if (!plan) return std::nullopt;
    std::string headingItems, titleItems;
    std::size_t headingCount = 0, titleCount = 0;
    for (std::size_t k = 0; k < listed.headings.size(); ++k) {
        if (plan->newCounts[k] == 0) continue;
        headingItems.append(pairs->items[2 * k]).append("<vt:variant><vt:i4>" + std::to_string(plan->newCounts[k]) + "</vt:i4></vt:variant>");
        headingCount += 2;
    }
    for (std::size_t i = 0; i < titles->items.size(); ++i) {
        if (plan->titleRemoved[i]) continue;
        titleItems.append(titles->items[i]);
        ++titleCount;
    }
    std::string out(xml);
    out.replace(titles->place.first, titles->place.second, Rebuilt(*titles, titleCount, titleItems));
    out.replace(pairs->place.first, pairs->place.second, Rebuilt(*pairs, headingCount, headingItems));
    return out;
}

}  // namespace tessaly::analysis
