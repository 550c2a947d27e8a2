// The part has no absolute positions, so the new part is the old records in order with some
// dropped and some rewritten.
#include "XlsbMacroSheetRemoval.h"

#include <algorithm>
#include <map>

#include "BiffFormat.h"
#include "SheetRenumbering.h"
#include "Text.h"
#include "XlsbFormat.h"
#include "XlsbRecords.h"

namespace tessaly::analysis::xlsb {
namespace {

struct Sheet {
    std::size_t record;
    std::uint32_t state;
    std::string relId;
};

struct Part {
    Bytes bytes;
    std::vector<Record> records;
    [[nodiscard]] Bytes Data(std::size_t index) const { return bytes.subspan(records[index].dataOffset, records[index].size); }
    [[nodiscard]] ByteVec Copy(std::size_t index) const {
        const Bytes d = Data(index);
        return ByteVec(d.begin(), d.end());
    }
};

bool Hidden(std::uint32_t state) { return (state & bundlesheet::kVisibilityMask) != 0; }

std::optional<ByteVec> RenumberedXtis(const Part& part, std::size_t index, std::optional<std::uint32_t> self, const SheetRenumbering& map) {
    ByteVec data = part.Copy(index);
    ByteReader r(data);
    const std::uint32_t count = r.get(externsheet::kCount);
    for (std::size_t k = 0, at = externsheet::kFirstEntryOffset; k < count; ++k, at += externsheet::kEntrySize) {
        const std::uint32_t link = r.get(externsheet::kSupBook, at);
        const auto first = static_cast<std::int32_t>(r.get(externsheet::kFirstSheet, at));
        const auto last = static_cast<std::int32_t>(r.get(externsheet::kLastSheet, at));
        if (!r.ok()) return std::nullopt;
        if (!self || link != *self || first < 0 || last < 0) continue;
        const auto range = map.Range(first, last);
        SetField(data, externsheet::kFirstSheet, static_cast<std::uint32_t>(range ? range->first : -1), at);
        SetField(data, externsheet::kLastSheet, static_cast<std::uint32_t>(range ? range->second : -1), at);
    }
    return data;
}

// A hidden workbook-level name that refers to #REF!, kept in the place of the one it replaces.
ByteVec InertName(const std::string& text) {
    ByteVec d(name::kTextOffset, 0);
    SetField(d, name::kFlags, name::kHiddenFlag);
    SetField(d, name::kSheet, name::kWorkbookScope);
    PutWideString(d, text);
    const ByteVec formula{biff::ptg::kErr, biff::ptg::kErrorRef};
    PutU32(d, static_cast<std::uint32_t>(formula.size()));
    PutBytes(d, formula);
    PutU32(d, 0);            // no extra formula data
    PutU32(d, kNullString);  // no comment
    return MakeRecord(kName, d);
}

std::optional<std::string> NameText(Bytes data) {
    ByteReader r(data, name::kTextOffset);
    return ReadWideString(r);
}

}  // namespace

WorkbookRemoval WorkbookWithoutSheets(Bytes workbookBin, const std::set<std::string>& removedRelIds) {
    auto records = ListRecords(workbookBin);
    if (!records) return {std::nullopt, "unreadable workbook records"};
    Part part{workbookBin, std::move(*records)};

    std::vector<Sheet> sheets;
    std::optional<std::uint32_t> self;
    std::uint32_t links = 0;
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        const std::uint32_t type = part.records[i].type;
        if (type == kBundleSheet) {
            ByteReader r(part.Data(i), bundlesheet::kRelIdOffset);
            Sheet s{i, r.get(bundlesheet::kState), {}};
            auto relId = ReadWideString(r);
            if (!relId || !r.ok()) return {std::nullopt, "unreadable sheet record"};
            s.relId = *relId;
            sheets.push_back(std::move(s));
        } else if (type == kSupSelf || type == kSupSame || type == kSupBookSource || type == kSupAddin) {
            if (type == kSupSelf && !self) self = links;
            ++links;
        }
    }
    std::vector<bool> removed;
    std::size_t matched = 0;
    for (const Sheet& s : sheets) {
        removed.push_back(removedRelIds.count(s.relId) > 0);
        matched += removed.back() ? 1 : 0;
    }
    if (matched != removedRelIds.size()) return {std::nullopt, "a removed sheet is not listed in the workbook"};
    const SheetRenumbering map(removed);
    if (map.kept() == 0) return {std::nullopt, "the workbook holds nothing but macro sheets"};

    // The sheet shown when the workbook opens must be a visible one that stays.
    std::optional<std::size_t> visible;
    for (std::size_t k = 0; k < sheets.size(); ++k)
        if (!removed[k] && !Hidden(sheets[k].state) && !visible) visible = k;
    const bool unhide = !visible;
    if (unhide) visible = static_cast<std::size_t>(std::find(removed.begin(), removed.end(), false) - removed.begin());

    std::map<std::size_t, std::optional<ByteVec>> replaced;  // record index -> new record, or dropped
    std::set<std::string> taken;
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        if (part.records[i].type != kName) continue;
        auto text = NameText(part.Data(i));
        if (!text) return {std::nullopt, "unreadable defined name"};
        taken.insert(LowerAscii(*text));
    }
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        if (removed[k]) {
            replaced[sheets[k].record] = std::nullopt;
        } else if (unhide && k == *visible) {
            ByteVec data = part.Copy(sheets[k].record);
            SetField(data, bundlesheet::kState, sheets[k].state & ~bundlesheet::kVisibilityMask);
            replaced[sheets[k].record] = MakeRecord(kBundleSheet, data);
        }
    }
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        const std::uint32_t type = part.records[i].type;
        if (type == kExternSheet) {
            auto data = RenumberedXtis(part, i, self, map);
            if (!data) return {std::nullopt, "unreadable external sheet references"};
            replaced[i] = MakeRecord(kExternSheet, *data);
        } else if (type == kName) {
            ByteVec data = part.Copy(i);
            ByteReader r(data);
            const std::uint32_t flags = r.get(name::kFlags);
            const std::uint32_t sheet = r.get(name::kSheet);
            const std::string text = LowerAscii(NameText(data).value_or(std::string{}));
            if (!r.ok()) return {std::nullopt, "unreadable defined name"};
            const bool onRemovedSheet = sheet != name::kWorkbookScope && map.New(sheet) < 0;
            const bool xlmMacro = (flags & name::kMacroFlag) && !(flags & name::kVbaFlag);
            if (NameStartsMacros(text) || onRemovedSheet || xlmMacro) {
                replaced[i] = InertName(UniqueInertName(taken));
            } else if (sheet != name::kWorkbookScope) {
                SetField(data, name::kSheet, static_cast<std::uint32_t>(map.New(sheet)));
                replaced[i] = MakeRecord(kName, data);
            }
        } else if (type == kBookView && part.records[i].size >= bookview::kActiveTab.end()) {
            ByteVec data = part.Copy(i);
            ByteReader r(data);
            const std::uint32_t firstTab = r.get(bookview::kFirstTab);
            const std::uint32_t active = r.get(bookview::kActiveTab);
            int newActive = map.New(active);
            if (newActive < 0 || Hidden(sheets[active].state)) newActive = map.New(*visible);
            const int newFirst = std::min(std::max(map.New(firstTab), 0), newActive);
            SetField(data, bookview::kFirstTab, static_cast<std::uint32_t>(newFirst));
            SetField(data, bookview::kActiveTab, static_cast<std::uint32_t>(newActive));
            replaced[i] = MakeRecord(kBookView, data);
        }
    }

    ByteVec out;
    out.reserve(workbookBin.size());
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        if (auto it = replaced.find(i); it != replaced.end()) {
            if (it->second) PutBytes(out, *it->second);
            continue;
        }
        PutBytes(out, workbookBin.subspan(part.records[i].offset, part.records[i].end() - part.records[i].offset));
    }
    return {std::move(out), {}};
}

}  // namespace tessaly::analysis::xlsb
