// Growable text lists: append with optional case-insensitive uniqueness, and compaction of the
// quick-scan path list.
#include "TextConvert.h"
#include "modCommon.h"
#include "FaultLog.h"

namespace tessaly {

bool AppendToList(TextList& list, const std::wstring& item, bool unique) {
    try {
        if (unique && !list.empty()) {
            const std::wstring lowered = ToLowerText(item);
            for (const auto& element : list)
                if (ToLowerText(element) == lowered) return true;
        }
        list.push_back(item);
    } catch (...) {
        LogCaughtFault(L"AppendToList");
        list.assign(1, item);
    }
    return true;
}

bool AppendToList(OptionalTextList& list, const std::wstring& item, bool unique) {
    if (!list) {
        list.emplace(1, item);
        return true;
    }
    return AppendToList(*list, item, unique);
}

void AppendItemsToList(TextList& list, std::int32_t count, const TextList& items, bool unique) {
    if (count <= 0 || static_cast<size_t>(count) != items.size()) return;
    for (const auto& item : items) AppendToList(list, item, unique);
}

void AppendItemsToList(OptionalTextList& list, std::int32_t count, const TextList& items, bool unique) {
    if (count <= 0 || static_cast<size_t>(count) != items.size()) return;
    for (const auto& item : items) AppendToList(list, item, unique);
}

bool CompactPathList(TextList& list) {
    try {
        for (auto& element : list) element = ToLowerText(element);
        bool cleared = false;
        for (size_t i = 0; i < list.size(); ++i) {
            const std::wstring s = list[i];
            if (s.empty()) continue;
            if (DirLookup(s, kLookupDirectory)) {
                const std::wstring prefix = (s.back() == L'\\') ? s : s + L'\\';
                for (size_t j = 0; j < list.size(); ++j) {
                    if (j == i || list[j].empty() || !StartsWithNoCase(list[j], prefix)) continue;
                    list[j].clear();
                    cleared = true;
                }
            } else {
                for (size_t j = 0; j < list.size(); ++j) {
                    if (j == i || list[j] != s) continue;
                    list[j].clear();
                    cleared = true;
                }
            }
        }
        if (cleared) {
            TextList compacted;
            for (const auto& element : list)
                if (!element.empty()) AppendToList(compacted, element, true);
            list = std::move(compacted);
        }
        return true;
    } catch (...) {
        LogCaughtFault(L"CompactPathList");
        return true;
    }
}

bool CompactPathList(OptionalTextList& list) { return list ? CompactPathList(*list) : false; }

}  // namespace tessaly
