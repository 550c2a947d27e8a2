// Tabs keep their order; a range keeps the tabs of it that stay.
#include "SheetRenumbering.h"

#include <algorithm>

#include "Text.h"

namespace tessaly::analysis {

SheetRenumbering::SheetRenumbering(const std::vector<bool>& removed) {
    for (bool gone : removed) m_new.push_back(gone ? -1 : m_kept++);
}

int SheetRenumbering::New(std::size_t oldIndex) const { return oldIndex < m_new.size() ? m_new[oldIndex] : -1; }

std::optional<std::pair<int, int>> SheetRenumbering::Range(int first, int last) const {
    int newFirst = -1, newLast = -1;
    for (int i = std::max(first, 0); i <= last && i < static_cast<int>(m_new.size()); ++i) {
        const int n = m_new[static_cast<std::size_t>(i)];
        if (n < 0) continue;
        if (newFirst < 0) newFirst = n;
        newLast = n;
    }
    if (newFirst < 0) return std::nullopt;
    return std::make_pair(newFirst, newLast);
}

bool NameStartsMacros(std::string_view lowerName) {
    if (lowerName.rfind("_xlnm.", 0) == 0) lowerName.remove_prefix(6);
    for (std::string_view prefix : {"auto_open", "auto_close", "auto_activate", "auto_deactivate"})
        if (lowerName.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string UniqueInertName(std::set<std::string>& taken) {
    for (int serial = 1;; ++serial) {
        std::string name = "Removed_Macro_Name_" + std::to_string(serial);
        if (taken.insert(LowerAscii(name)).second) return name;
    }
}

}  // namespace tessaly::analysis
