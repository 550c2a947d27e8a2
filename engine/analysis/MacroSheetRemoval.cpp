// The globals substream is read once into the records this touches; every change is an edit of
// the original stream (StreamEdit), which also moves the absolute positions other records hold.
// Whatever cannot be adjusted with certainty (a record continued in CONTINUE records, a substream
// that cannot be found, substreams that overlap, a workbook of macro sheets only) fails the removal
// and the file is kept. Every step is linear in the records, whatever the sheets claim.
#include "MacroSheetRemoval.h"

#include <algorithm>
#include <set>

#include "BiffStreamEdit.h"
#include "SheetRenumbering.h"
#include "Text.h"

namespace tessaly::analysis::biff {
namespace {

constexpr std::size_t kNone = SIZE_MAX;

struct Sheet {
    std::size_t record = 0;  // index of its BOUNDSHEET
    std::uint8_t visibility = 0;
    bool macro = false;
    std::size_t bof = 0, eof = 0;  // record indexes of its substream
    std::string name;              // UTF-8
};

struct Workbook {
    Bytes stream;
    std::vector<RecordSpan> records;
    std::vector<Sheet> sheets;
    std::vector<std::size_t> names, supBooks;
    std::optional<std::size_t> externSheet, window1, tabIds;
};

Bytes DataOf(const Workbook& wb, std::size_t index) {
    const RecordSpan& r = wb.records[index];
    return wb.stream.subspan(r.dataOffset(), r.size);
}

ByteVec CopyOf(const Workbook& wb, std::size_t index) {
    const Bytes data = DataOf(wb, index);
    return ByteVec(data.begin(), data.end());
}

bool Continued(const Workbook& wb, std::size_t index) {
    return index + 1 < wb.records.size() && wb.records[index + 1].id == kContinue;
}

// For each BOF record, the index of the EOF that closes it (nested pairs are embedded charts), in
// one walk over the records.
std::vector<std::size_t> SubstreamEnds(const std::vector<RecordSpan>& records) {
    std::vector<std::size_t> ends(records.size(), kNone), open;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].id == kBof) open.push_back(i);
        if (records[i].id == kEof && !open.empty()) {
            ends[open.back()] = i;
            open.pop_back();
        }
    }
    return ends;
}

std::optional<std::size_t> RecordAt(const std::vector<RecordSpan>& records, std::uint32_t offset) {
    const auto it = std::lower_bound(records.begin(), records.end(), offset,
                                     [](const RecordSpan& r, std::uint32_t at) { return r.offset < at; });
    if (it == records.end() || it->offset != offset) return std::nullopt;
    return static_cast<std::size_t>(it - records.begin());
}

// A ShortXLUnicodeString: a count, a flags byte, then 8-bit (Latin-1) or UTF-16 characters.
std::optional<std::string> SheetName(Bytes boundSheet) {
    ByteReader r(boundSheet, boundsheet::kNameOffset);
    const std::size_t count = r.u8();
    const bool wide = (r.u8() & 1) != 0;
    const Bytes chars = r.bytes(wide ? count * 2 : count);
    if (!r.ok()) return std::nullopt;
    return wide ? Utf16LeToUtf8(chars) : Utf16ToUtf8(std::u16string(chars.begin(), chars.end()));
}

std::optional<std::string> ReadSheet(Workbook& wb, std::size_t index) {
    ByteReader r(DataOf(wb, index));
    const std::uint32_t position = r.get(boundsheet::kStreamPosition);
    Sheet s;
    s.record = index;
    s.visibility = r.get(boundsheet::kVisibility) & boundsheet::kVisibilityMask;
    s.macro = r.get(boundsheet::kSheetType) == boundsheet::kMacroSheet;
    if (!r.ok()) return "short BOUNDSHEET record";
    const auto bof = RecordAt(wb.records, position);
    if (!bof || wb.records[*bof].id != kBof) return "a sheet substream is missing";
    s.bof = *bof;
    s.macro = s.macro || OpensMacroSheet(DataOf(wb, *bof));
    auto name = SheetName(DataOf(wb, index));
    if (!name) return "short BOUNDSHEET record";
    s.name = std::move(*name);
    wb.sheets.push_back(s);
    return std::nullopt;
}

// Sheet substreams must each stand alone after the globals: one that starts inside another, or two
// sheets naming one substream, cannot be removed without taking the other with it.
std::optional<std::string> FindSubstreamEnds(Workbook& wb, std::size_t globalsEnd) {
    const std::vector<std::size_t> ends = SubstreamEnds(wb.records);
    std::vector<const Sheet*> inOrder;
    for (Sheet& s : wb.sheets) {
        if (s.bof <= globalsEnd) return "a sheet substream is missing";
        s.eof = ends[s.bof];
        if (s.eof == kNone) return "a sheet substream has no end";
        inOrder.push_back(&s);
    }
    std::sort(inOrder.begin(), inOrder.end(), [](const Sheet* a, const Sheet* b) { return a->bof < b->bof; });
    for (std::size_t i = 1; i < inOrder.size(); ++i)
        if (inOrder[i]->bof <= inOrder[i - 1]->eof) return "sheet substreams overlap";
    return std::nullopt;
}

std::optional<std::string> ReadGlobals(Workbook& wb) {
    ByteReader first(DataOf(wb, 0));
    if (wb.records[0].id != kBof || first.get(bof::kVersion) != bof::kBiff8 || first.get(bof::kSubstreamType) != bof::kGlobals ||
        !first.ok())
        return "not a BIFF8 workbook";
    std::size_t i = 1;
    for (; i < wb.records.size() && wb.records[i].id != kEof; ++i) {
        switch (wb.records[i].id) {
            case kBoundSheet:
                if (auto failure = ReadSheet(wb, i)) return failure;
                break;
            case kName:
                wb.names.push_back(i);
                break;
            case kSupBook:
                wb.supBooks.push_back(i);
                break;
            case kExternSheet:
                wb.externSheet = i;
                break;
            case kWindow1:
                wb.window1 = i;
                break;
            case kTabIds:
                wb.tabIds = i;
                break;
            default:
                break;
        }
    }
    if (i == wb.records.size()) return "workbook globals without an end";
    return FindSubstreamEnds(wb, i);
}

bool IsSelfReference(Bytes supBook) { return ReadField(supBook, supbook::kKind) == supbook::kSelfReference; }

std::optional<std::string> RenumberExternSheet(const Workbook& wb, const SheetRenumbering& map, StreamEdit& edit) {
    if (!wb.externSheet) return std::nullopt;
    if (Continued(wb, *wb.externSheet)) return "EXTERNSHEET continues in CONTINUE records";
    std::optional<std::uint16_t> self;
    for (std::size_t k = 0; k < wb.supBooks.size(); ++k)
        if (IsSelfReference(DataOf(wb, wb.supBooks[k]))) self = static_cast<std::uint16_t>(k);
    if (!self) return std::nullopt;
    ByteVec out = CopyOf(wb, *wb.externSheet);
    ByteReader r(out);
    const std::uint16_t count = r.get(externsheet::kCount);
    for (std::size_t k = 0, at = externsheet::kFirstEntryOffset; k < count; ++k, at += externsheet::kEntrySize) {
        const std::uint16_t book = r.get(externsheet::kSupBook, at);
        const auto firstSheet = static_cast<std::int16_t>(r.get(externsheet::kFirstSheet, at));
        const auto lastSheet = static_cast<std::int16_t>(r.get(externsheet::kLastSheet, at));
        if (!r.ok()) return "short EXTERNSHEET record";
        if (book != *self || firstSheet < 0 || lastSheet < 0) continue;
        // A range loses the macro sheets inside it; a reference to removed sheets only is deleted.
        const auto range = map.Range(firstSheet, lastSheet);
        SetField(out, externsheet::kFirstSheet, static_cast<std::uint16_t>(range ? range->first : -1), at);
        SetField(out, externsheet::kLastSheet, static_cast<std::uint16_t>(range ? range->second : -1), at);
    }
    edit.Replace(wb.records[*wb.externSheet], MakeRecord(kExternSheet, out));
    for (std::size_t index : wb.supBooks) {
        if (!IsSelfReference(DataOf(wb, index))) continue;
        ByteVec changed = CopyOf(wb, index);
        SetField(changed, supbook::kSheetCount, static_cast<std::uint16_t>(map.kept()));
        edit.Replace(wb.records[index], MakeRecord(kSupBook, changed));
    }
    return std::nullopt;
}

// ---- defined names ----

struct Name {
    std::uint16_t flags = 0;
    std::uint16_t sheet = 0;  // one-based; 0 for a global name
    std::string text;         // lower case; built-in names are their one-character code
};

std::optional<Name> ReadName(Bytes data) {
    ByteReader r(data);
    Name n;
    n.flags = r.get(name::kFlags);
    const std::uint8_t length = r.get(name::kNameLength);
    n.sheet = r.get(name::kSheet);
    const bool wide = (r.get(Field<std::uint8_t>{name::kStringFlagsOffset}) & 1) != 0;
    r.skip(name::kTextOffset);
    for (std::uint8_t k = 0; k < length; ++k) {
        const std::uint16_t c = wide ? r.u16() : r.u8();
        n.text.push_back(c < 0x80 ? AsciiLower(static_cast<char>(c)) : '?');
    }
    if (!r.ok()) return std::nullopt;
    return n;
}

bool StartsMacros(const Name& n) {
    if (n.flags & name::kBuiltinFlag) {
        if (n.text.empty()) return false;
        const auto code = static_cast<std::uint8_t>(n.text[0]);
        return code == name::kBuiltinAutoOpen || code == name::kBuiltinAutoClose || code == name::kBuiltinAutoActivate ||
               code == name::kBuiltinAutoDeactivate;
    }
    return NameStartsMacros(n.text);
}

// A hidden global name that refers to #REF!: kept in its place so every formula's name index
// still points at the same record.
ByteVec InertName(const std::string& text) {
    const ByteVec formula{ptg::kErr, ptg::kErrorRef};
    ByteVec d(name::kTextOffset, 0);  // global, 8-bit characters
    SetField(d, name::kFlags, name::kHiddenFlag);
    SetField(d, name::kNameLength, static_cast<std::uint8_t>(text.size()));
    SetField(d, name::kFormulaLength, static_cast<std::uint16_t>(formula.size()));
    PutText(d, text);
    PutBytes(d, formula);
    return MakeRecord(kName, d);
}

std::optional<std::string> RenumberNames(const Workbook& wb, const SheetRenumbering& map, StreamEdit& edit) {
    std::vector<Name> names;
    std::set<std::string> taken;
    for (std::size_t index : wb.names) {
        auto n = ReadName(DataOf(wb, index));
        if (!n) return "unreadable defined name";
        taken.insert(n->text);
        names.push_back(std::move(*n));
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        const Name& n = names[k];
        const RecordSpan& rec = wb.records[wb.names[k]];
        const bool onRemovedSheet = n.sheet != 0 && map.New(n.sheet - 1u) < 0;
        const bool xlmMacro = (n.flags & name::kMacroFlag) && !(n.flags & name::kVbaFlag);
        const bool inert = StartsMacros(n) || onRemovedSheet || xlmMacro;
        if (!inert && n.sheet == 0) continue;
        // A replaced record would leave its CONTINUE records behind, read as part of another.
        if (Continued(wb, wb.names[k])) return "a defined name continues in CONTINUE records";
        if (inert) {
            edit.Replace(rec, InertName(UniqueInertName(taken)));
            continue;
        }
        ByteVec data = CopyOf(wb, wb.names[k]);
        SetField(data, name::kSheet, static_cast<std::uint16_t>(map.New(n.sheet - 1u) + 1));
        edit.Replace(rec, MakeRecord(kName, data));
    }
    return std::nullopt;
}

// ---- tabs and windows ----

// The WINDOW2 record of a sheet's own substream (not of a chart embedded in it).
std::optional<std::size_t> Window2Of(const Workbook& wb, const Sheet& sheet) {
    int depth = 0;
    for (std::size_t i = sheet.bof; i <= sheet.eof; ++i) {
        if (wb.records[i].id == kBof) ++depth;
        if (wb.records[i].id == kEof) --depth;
        if (depth == 1 && wb.records[i].id == kWindow2 && wb.records[i].size >= window2::kFlags.end()) return i;
    }
    return std::nullopt;
}

bool Selected(const Workbook& wb, const Sheet& sheet) {
    auto window = Window2Of(wb, sheet);
    return window && (ReadField(DataOf(wb, *window), window2::kFlags).value_or(0) & window2::kSelected) != 0;
}

// A workbook needs a visible sheet, and its active tab must be one.
void KeepATabOnDisplay(const Workbook& wb, const SheetRenumbering& map, StreamEdit& edit) {
    std::vector<const Sheet*> kept;
    for (const Sheet& s : wb.sheets)
        if (!s.macro) kept.push_back(&s);
    const Sheet* visible = nullptr;
    for (const Sheet* s : kept)
        if (s->visibility == 0 && !visible) visible = s;
    if (!visible) {
        // Only hidden worksheets remain: the first one is shown, as Excel would insist.
        visible = kept.front();
        ByteVec data = CopyOf(wb, visible->record);
        const std::uint8_t visibility = ReadField(data, boundsheet::kVisibility).value_or(0);
        SetField(data, boundsheet::kVisibility, static_cast<std::uint8_t>(visibility & ~boundsheet::kVisibilityMask));
        edit.Replace(wb.records[visible->record], MakeRecord(kBoundSheet, data));
    }
    if (!wb.window1 || wb.records[*wb.window1].size < window1::kSelectedTabs.end()) return;
    ByteVec window = CopyOf(wb, *wb.window1);
    ByteReader r(window);
    const std::uint16_t active = r.get(window1::kActiveTab);
    const std::uint16_t firstTab = r.get(window1::kFirstTab);
    int newActive = map.New(active);
    const Sheet* activeSheet = newActive >= 0 ? &wb.sheets[active] : nullptr;
    if (activeSheet && activeSheet->visibility != 0 && activeSheet != visible) activeSheet = nullptr;
    if (!activeSheet) {
        activeSheet = visible;
        newActive = map.New(static_cast<std::size_t>(visible - wb.sheets.data()));
        if (auto w2 = Window2Of(wb, *visible)) {
            ByteVec data = CopyOf(wb, *w2);
            const std::uint16_t flags = ReadField(data, window2::kFlags).value_or(0);
            SetField(data, window2::kFlags, static_cast<std::uint16_t>(flags | window2::kSelected | window2::kOnDisplay));
            edit.Replace(wb.records[*w2], MakeRecord(kWindow2, data));
        }
    }
    int selected = 0;
    for (const Sheet* s : kept) selected += (s == activeSheet || Selected(wb, *s)) ? 1 : 0;
    const int newFirst = map.New(firstTab);
    SetField(window, window1::kActiveTab, static_cast<std::uint16_t>(newActive));
    SetField(window, window1::kFirstTab, static_cast<std::uint16_t>(std::min(newFirst < 0 ? 0 : newFirst, newActive)));
    SetField(window, window1::kSelectedTabs, static_cast<std::uint16_t>(std::max(selected, 1)));
    edit.Replace(wb.records[*wb.window1], MakeRecord(kWindow1, window));
}

void DropTabIds(const Workbook& wb, StreamEdit& edit) {
    if (!wb.tabIds || Continued(wb, *wb.tabIds)) return;
    const Bytes data = DataOf(wb, *wb.tabIds);
    if (data.size() != tabids::kEntrySize * wb.sheets.size()) return;
    ByteVec kept;
    for (std::size_t i = 0; i < wb.sheets.size(); ++i)
        if (!wb.sheets[i].macro) PutBytes(kept, data.subspan(tabids::kEntrySize * i, tabids::kEntrySize));
    edit.Replace(wb.records[*wb.tabIds], MakeRecord(kTabIds, kept));
}

// A BOUNDSHEET or a BOF of the stream that says macro sheet.
bool AnyMacroSheet(const Workbook& wb) {
    return std::any_of(wb.records.begin(), wb.records.end(), [&](const RecordSpan& r) {
        const Bytes data = wb.stream.subspan(r.dataOffset(), r.size);
        return (r.id == kBoundSheet && ReadField(data, boundsheet::kSheetType) == boundsheet::kMacroSheet) ||
               (r.id == kBof && OpensMacroSheet(data));
    });
}

}  // namespace

MacroSheetRemoval WithoutMacroSheets(Bytes stream) {
    Workbook wb;
    wb.stream = stream;
    auto records = ListRecords(stream);
    if (!records || records->empty()) return {std::nullopt, "unreadable workbook records", 0, {}};
    wb.records = std::move(*records);
    if (!AnyMacroSheet(wb)) return {ByteVec(stream.begin(), stream.end()), {}, 0, {}};
    if (auto failure = ReadGlobals(wb)) return {std::nullopt, *failure, 0, {}};
    std::vector<bool> removed;
    for (const Sheet& s : wb.sheets) removed.push_back(s.macro);
    const SheetRenumbering map(removed);
    const std::size_t macroSheets = wb.sheets.size() - static_cast<std::size_t>(map.kept());
    if (macroSheets == 0) return {ByteVec(stream.begin(), stream.end()), {}, 0, {}};
    if (map.kept() == 0) return {std::nullopt, "the workbook holds nothing but macro sheets", 0, {}};

    StreamEdit edit(stream);
    for (const Sheet& s : wb.sheets) {
        if (!s.macro) continue;
        edit.Remove(wb.records[s.record].offset, wb.records[s.record].end() - wb.records[s.record].offset);
        edit.Remove(wb.records[s.bof].offset, wb.records[s.eof].end() - wb.records[s.bof].offset);
    }
    if (auto failure = RenumberExternSheet(wb, map, edit)) return {std::nullopt, *failure, 0, {}};
    if (auto failure = RenumberNames(wb, map, edit)) return {std::nullopt, *failure, 0, {}};
    KeepATabOnDisplay(wb, map, edit);
    DropTabIds(wb, edit);
    auto out = edit.Apply();
    if (!out) return {std::nullopt, "stream positions could not be moved", 0, {}};
    MacroSheetRemoval result{std::move(*out), {}, macroSheets, {}};
    for (const Sheet& s : wb.sheets)
        if (s.macro) result.removedNames.push_back(s.name);
    return result;
}

}  // namespace tessaly::analysis::biff
