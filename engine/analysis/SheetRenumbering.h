// What removing macro sheets means for the sheets that stay, in both binary workbook formats:
// old tab index to new tab index, 3-D ranges that lose sheets, and the defined names that start
// macros or can no longer stand, which are replaced in place by inert names.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly::analysis {

class SheetRenumbering {
public:
    // `removed[i]` is true for each tab that goes.
    explicit SheetRenumbering(const std::vector<bool>& removed);

    // The new index of an old tab; -1 for a removed or unknown one.
    [[nodiscard]] int New(std::size_t oldIndex) const;
    [[nodiscard]] int kept() const { return m_kept; }
    // The first and last kept tabs of an old range, as new indexes; nullopt when none is kept.
    [[nodiscard]] std::optional<std::pair<int, int>> Range(int first, int last) const;

private:
    std::vector<int> m_new;
    int m_kept = 0;
};

// Names Excel runs as macros when a workbook opens, closes, activates or deactivates, typed or
// built in ("_xlnm." prefixed); `lowerName` is the name in lower case.
bool NameStartsMacros(std::string_view lowerName);

// A fresh name text not in `taken` (lower case), recorded there.
std::string UniqueInertName(std::set<std::string>& taken);

}  // namespace tessaly::analysis
