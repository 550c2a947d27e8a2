// The part has no absolute positions, so the new part is the old records in order with some
// dropped and some rewritten.
#include "XlsbMacroSheetRemoval.h"

#include <algorithm>
#include <map>
#include <set>

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
    std::string relId, name;
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

// Record index -> its new bytes, or nullopt for a record that goes.
using Replacements = std::map<std::size_t, std::optional<ByteVec>>;

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

// The sheets in tab order, and which supporting link is the workbook itself.
std::optional<std::string> ReadSheets(const Part& part, std::vector<Sheet>& sheets, std::optional<std::uint32_t>& self) {
    std::uint32_t links = 0;
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        const std::uint32_t type = part.records[i].type;
        if (type == kBundleSheet) {
            ByteReader r(part.Data(i), bundlesheet::kRelIdOffset);
            Sheet s{i, r.get(bundlesheet::kState), {}, {}};
            auto relId = ReadWideString(r);
            auto name = ReadWideString(r);
            if (!relId || !name || !r.ok()) return "unreadable sheet record";
            s.relId = std::move(*relId);
            s.name = std::move(*name);
            sheets.push_back(std::move(s));
        } else if (type == kSupSelf || type == kSupSame || type == kSupBookSource || type == kSupAddin) {
            if (type == kSupSelf && !self) self = links;
            ++links;
        }
    }
    return std::nullopt;
}

// The sheet shown when the workbook opens must be a visible one that stays; when none is left, the
// first kept one is shown (`unhide`).
std::size_t ShownSheet(const std::vector<Sheet>& sheets, const std::vector<bool>& removed, bool& unhide) {
    for (std::size_t k = 0; k < sheets.size(); ++k)
        if (!removed[k] && !Hidden(sheets[k].state)) return k;
    unhide = true;
    return static_cast<std::size_t>(std::find(removed.begin(), removed.end(), false) - removed.begin());
}

std::optional<std::set<std::string>> NameTexts(const Part& part) {
    std::set<std::string> taken;
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        if (part.records[i].type != kName) continue;
        auto text = NameText(part.Data(i));
        if (!text) return std::nullopt;
        taken.insert(LowerAscii(*text));
    }
    return taken;
}

// A name that starts macros or belongs to a removed sheet becomes inert; a sheet-level one follows
// its sheet. Nothing, for a name that stays as it is.
std::optional<std::optional<ByteVec>> RenumberedName(const Part& part, std::size_t index, const SheetRenumbering& map,
                                                     std::set<std::string>& taken) {
    ByteVec data = part.Copy(index);
    ByteReader r(data);
    const std::uint32_t flags = r.get(name::kFlags);
    const std::uint32_t sheet = r.get(name::kSheet);
    const std::string text = LowerAscii(NameText(data).value_or(std::string{}));
    if (!r.ok()) return std::nullopt;
    const bool onRemovedSheet = sheet != name::kWorkbookScope && map.New(sheet) < 0;
    const bool xlmMacro = (flags & name::kMacroFlag) && !(flags & name::kVbaFlag);
    if (NameStartsMacros(text) || onRemovedSheet || xlmMacro) return std::optional<ByteVec>(InertName(UniqueInertName(taken)));
    if (sheet == name::kWorkbookScope) return std::optional<ByteVec>();
    SetField(data, name::kSheet, static_cast<std::uint32_t>(map.New(sheet)));
    return std::optional<ByteVec>(MakeRecord(kName, data));
}

ByteVec RenumberedBookView(const Part& part, std::size_t index, const std::vector<Sheet>& sheets, const SheetRenumbering& map,
                           std::size_t shown) {
    ByteVec data = part.Copy(index);
    ByteReader r(data);
    const std::uint32_t firstTab = r.get(bookview::kFirstTab);
    const std::uint32_t active = r.get(bookview::kActiveTab);
    int newActive = map.New(active);
    if (newActive < 0 || Hidden(sheets[active].state)) newActive = map.New(shown);
    const int newFirst = std::min(std::max(map.New(firstTab), 0), newActive);
    SetField(data, bookview::kFirstTab, static_cast<std::uint32_t>(newFirst));
    SetField(data, bookview::kActiveTab, static_cast<std::uint32_t>(newActive));
    return MakeRecord(kBookView, data);
}

// Every record that counts tabs by position, renumbered.
std::optional<std::string> RenumberReferences(const Part& part, const std::vector<Sheet>& sheets, std::optional<std::uint32_t> self,
                                              const SheetRenumbering& map, std::size_t shown, Replacements& replaced) {
    auto taken = NameTexts(part);
    if (!taken) return "unreadable defined name";
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        const std::uint32_t type = part.records[i].type;
        if (type == kExternSheet) {
            auto data = RenumberedXtis(part, i, self, map);
            if (!data) return "unreadable external sheet references";
            replaced[i] = MakeRecord(kExternSheet, *data);
        } else if (type == kName) {
            auto name = RenumberedName(part, i, map, *taken);
            if (!name) return "unreadable defined name";
            if (*name) replaced[i] = std::move(*name);
        } else if (type == kBookView && part.records[i].size >= bookview::kActiveTab.end()) {
            replaced[i] = RenumberedBookView(part, i, sheets, map, shown);
        }
    }
    return std::nullopt;
}

ByteVec Assemble(const Part& part, const Replacements& replaced) {
    ByteVec out;
    out.reserve(part.bytes.size());
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        if (auto it = replaced.find(i); it != replaced.end()) {
            if (it->second) PutBytes(out, *it->second);
            continue;
        }
        PutBytes(out, part.bytes.subspan(part.records[i].offset, part.records[i].end() - part.records[i].offset));
    }
    return out;
}

}  // namespace

WorkbookRemoval WorkbookWithoutSheets(Bytes workbookBin, const std::set<std::string>& removedRelIds) {
    auto records = ListRecords(workbookBin);
    if (!records) return {std::nullopt, "unreadable workbook records", {}};
    const Part part{workbookBin, std::move(*records)};
    std::vector<Sheet> sheets;
    std::optional<std::uint32_t> self;
    if (auto failure = ReadSheets(part, sheets, self)) return {std::nullopt, *failure, {}};

    WorkbookRemoval result;
    std::vector<bool> removed;
    for (const Sheet& s : sheets) {
        removed.push_back(removedRelIds.count(s.relId) > 0);
        if (removed.back()) result.removedNames.push_back(s.name);
    }
    if (result.removedNames.size() != removedRelIds.size()) return {std::nullopt, "a removed sheet is not listed in the workbook", {}};
    const SheetRenumbering map(removed);
    if (map.kept() == 0) return {std::nullopt, "the workbook holds nothing but macro sheets", {}};

    bool unhide = false;
    const std::size_t shown = ShownSheet(sheets, removed, unhide);
    Replacements replaced;
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        if (removed[k]) {
            replaced[sheets[k].record] = std::nullopt;
        } else if (unhide && k == shown) {
            ByteVec data = part.Copy(sheets[k].record);
            SetField(data, bundlesheet::kState, sheets[k].state & ~bundlesheet::kVisibilityMask);
            replaced[sheets[k].record] = MakeRecord(kBundleSheet, data);
        }
    }
    if (auto failure = RenumberReferences(part, sheets, self, map, shown, replaced)) return {std::nullopt, *failure, {}};
    result.workbook = Assemble(part, replaced);
    return result;
}

}  // namespace tessaly::analysis::xlsb
