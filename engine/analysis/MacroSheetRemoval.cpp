// The globals substream is read once into the records this touches; every change is an edit of
// the original stream (StreamEdit), which also moves the absolute positions other records hold.
// Whatever cannot be adjusted with certainty (a record continued in CONTINUE records, a substream
// that cannot be found, a workbook of macro sheets only) fails the removal and the file is kept.
#include "MacroSheetRemoval.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "BiffStreamEdit.h"
#include "SheetRenumbering.h"

namespace tessaly::analysis::biff {
namespace {

constexpr std::uint16_t kRecExternSheet = 0x0017;
constexpr std::uint16_t kRecName = 0x0018;
constexpr std::uint16_t kRecWindow1 = 0x003D;
constexpr std::uint16_t kRecTabIds = 0x013D;
constexpr std::uint16_t kRecSupBook = 0x01AE;
constexpr std::uint16_t kRecWindow2 = 0x023E;
constexpr std::uint16_t kSelfReference = 0x0401;
constexpr std::uint8_t kMacroSheetType = 1;
constexpr std::uint16_t kWindow2Selected = 0x0200 | 0x0400;  // selected, and the tab on display

struct Sheet {
    std::size_t record = 0;  // index of its BOUNDSHEET
    std::uint32_t position = 0;
    std::uint8_t visibility = 0;
    bool macro = false;
    std::size_t bof = 0, eof = 0;  // record indexes of its substream
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

ByteVec Record(std::uint16_t id, const ByteVec& data) { return MakeRecord(id, data); }

void SetU16(ByteVec& data, std::size_t at, std::uint16_t v) {
    data[at] = static_cast<std::uint8_t>(v);
    data[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

bool Continued(const Workbook& wb, std::size_t index) {
    return index + 1 < wb.records.size() && wb.records[index + 1].id == kRecContinue;
}

// The index of the record where the substream starting at `bof` ends (nested BOF/EOF pairs are
// embedded charts).
std::optional<std::size_t> SubstreamEnd(const Workbook& wb, std::size_t bof) {
    int depth = 0;
    for (std::size_t i = bof; i < wb.records.size(); ++i) {
        if (wb.records[i].id == kRecBof) ++depth;
        if (wb.records[i].id == kRecEof && --depth == 0) return i;
    }
    return std::nullopt;
}

std::optional<std::string> ReadGlobals(Workbook& wb) {
    ByteReader bof(DataOf(wb, 0));
    if (wb.records[0].id != kRecBof || bof.u16() != 0x0600 || bof.u16() != 0x0005) return "not a BIFF8 workbook";
    std::size_t i = 1;
    for (; i < wb.records.size() && wb.records[i].id != kRecEof; ++i) {
        const std::uint16_t id = wb.records[i].id;
        if (id == kRecBoundSheet) {
            ByteReader r(DataOf(wb, i));
            Sheet s;
            s.record = i;
            s.position = r.u32();
            s.visibility = r.u8() & 0x03;
            s.macro = r.u8() == kMacroSheetType;
            if (!r.ok()) return "short BOUNDSHEET record";
            wb.sheets.push_back(s);
        } else if (id == kRecName) {
            wb.names.push_back(i);
        } else if (id == kRecSupBook) {
            wb.supBooks.push_back(i);
        } else if (id == kRecExternSheet) {
            wb.externSheet = i;
        } else if (id == kRecWindow1) {
            wb.window1 = i;
        } else if (id == kRecTabIds) {
            wb.tabIds = i;
        }
    }
    if (i == wb.records.size()) return "workbook globals without an end";
    for (Sheet& s : wb.sheets) {
        auto bofRecord = std::find_if(wb.records.begin(), wb.records.end(), [&](const RecordSpan& r) { return r.offset == s.position; });
        if (bofRecord == wb.records.end() || bofRecord->id != kRecBof) return "a sheet substream is missing";
        s.bof = static_cast<std::size_t>(bofRecord - wb.records.begin());
        auto end = SubstreamEnd(wb, s.bof);
        if (!end) return "a sheet substream has no end";
        s.eof = *end;
    }
    return std::nullopt;
}

std::optional<std::string> RenumberExternSheet(const Workbook& wb, const SheetRenumbering& map, StreamEdit& edit) {
    if (!wb.externSheet) return std::nullopt;
    if (Continued(wb, *wb.externSheet)) return "EXTERNSHEET continues in CONTINUE records";
    std::optional<std::uint16_t> self;
    for (std::size_t k = 0; k < wb.supBooks.size(); ++k) {
        ByteReader r(DataOf(wb, wb.supBooks[k]));
        r.u16();
        if (r.u16() == kSelfReference && r.ok()) self = static_cast<std::uint16_t>(k);
    }
    if (!self) return std::nullopt;
    const Bytes data = DataOf(wb, *wb.externSheet);
    ByteVec out(data.begin(), data.end());
    ByteReader r(data);
    const std::uint16_t count = r.u16();
    for (std::uint16_t k = 0; k < count; ++k) {
        const std::size_t at = r.pos();
        const std::uint16_t book = r.u16();
        const auto first = static_cast<std::int16_t>(r.u16());
        const auto last = static_cast<std::int16_t>(r.u16());
        if (!r.ok()) return "short EXTERNSHEET record";
        if (book != *self || first < 0 || last < 0) continue;
        // A range loses the macro sheets inside it; a reference to removed sheets only is deleted.
        const auto range = map.Range(first, last);
        SetU16(out, at + 2, static_cast<std::uint16_t>(range ? range->first : -1));
        SetU16(out, at + 4, static_cast<std::uint16_t>(range ? range->second : -1));
    }
    edit.Replace(wb.records[*wb.externSheet], Record(kRecExternSheet, out));
    for (std::size_t index : wb.supBooks) {
        const Bytes supBook = DataOf(wb, index);
        ByteReader s(supBook);
        s.u16();
        if (s.u16() != kSelfReference || !s.ok()) continue;
        ByteVec changed(supBook.begin(), supBook.end());
        SetU16(changed, 0, static_cast<std::uint16_t>(map.kept()));
        edit.Replace(wb.records[index], Record(kRecSupBook, changed));
    }
    return std::nullopt;
}

// ---- defined names ----

struct Name {
    std::uint16_t flags = 0;
    std::uint16_t itab = 0;
    std::string text;  // lower case; built-in names are their one-character code
};

constexpr std::uint16_t kNameHidden = 0x0001;
constexpr std::uint16_t kNameVba = 0x0004;
constexpr std::uint16_t kNameMacro = 0x0008;
constexpr std::uint16_t kNameBuiltin = 0x0020;

std::optional<Name> ReadName(Bytes data) {
    ByteReader r(data);
    Name n;
    n.flags = r.u16();
    r.u8();
    const std::uint8_t length = r.u8();
    r.skip(4);
    n.itab = r.u16();
    r.skip(4);
    const bool wide = (r.u8() & 1) != 0;
    for (std::uint8_t k = 0; k < length; ++k) {
        const std::uint16_t c = wide ? r.u16() : r.u8();
        n.text.push_back(c < 0x80 ? static_cast<char>(std::tolower(c)) : '?');
    }
    if (!r.ok()) return std::nullopt;
    return n;
}

bool StartsMacros(const Name& n) {
    if (n.flags & kNameBuiltin) return !n.text.empty() && (n.text[0] == 0x01 || n.text[0] == 0x02 || n.text[0] == 0x0A || n.text[0] == 0x0B);
    return NameStartsMacros(n.text);
}

// A hidden global name that refers to #REF!: kept in its place so every formula's name index
// still points at the same record.
ByteVec InertName(const std::string& text) {
    ByteVec d;
    PutU16(d, kNameHidden);
    d.push_back(0);
    d.push_back(static_cast<std::uint8_t>(text.size()));
    PutU16(d, 2);  // formula length
    PutU16(d, 0);
    PutU16(d, 0);  // global
    d.insert(d.end(), 4, 0);
    d.push_back(0);
    PutText(d, text);
    d.insert(d.end(), {0x1C, 0x17});  // the error constant #REF!
    return MakeRecord(kRecName, d);
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
        const bool onRemovedSheet = n.itab != 0 && map.New(n.itab - 1u) < 0;
        const bool xlmMacro = (n.flags & kNameMacro) && !(n.flags & kNameVba);
        if (StartsMacros(n) || onRemovedSheet || xlmMacro) {
            edit.Replace(rec, InertName(UniqueInertName(taken)));
            continue;
        }
        if (n.itab == 0) continue;
        if (Continued(wb, wb.names[k])) return "a defined name continues in CONTINUE records";
        const Bytes old = DataOf(wb, wb.names[k]);
        ByteVec data(old.begin(), old.end());
        SetU16(data, 8, static_cast<std::uint16_t>(map.New(n.itab - 1u) + 1));
        edit.Replace(rec, MakeRecord(kRecName, data));
    }
    return std::nullopt;
}

// ---- tabs and windows ----

// The WINDOW2 record of a sheet's own substream (not of a chart embedded in it).
std::optional<std::size_t> Window2Of(const Workbook& wb, const Sheet& sheet) {
    int depth = 0;
    for (std::size_t i = sheet.bof; i <= sheet.eof; ++i) {
        if (wb.records[i].id == kRecBof) ++depth;
        if (wb.records[i].id == kRecEof) --depth;
        if (depth == 1 && wb.records[i].id == kRecWindow2 && wb.records[i].size >= 2) return i;
    }
    return std::nullopt;
}

bool Selected(const Workbook& wb, const Sheet& sheet) {
    auto window = Window2Of(wb, sheet);
    if (!window) return false;
    ByteReader r(DataOf(wb, *window));
    return (r.u16() & 0x0200) != 0;
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
        const Bytes old = DataOf(wb, visible->record);
        ByteVec data(old.begin(), old.end());
        data[4] = static_cast<std::uint8_t>(data[4] & ~0x03);
        edit.Replace(wb.records[visible->record], MakeRecord(kRecBoundSheet, data));
    }
    if (!wb.window1 || wb.records[*wb.window1].size < 16) return;
    const Bytes oldWindow = DataOf(wb, *wb.window1);
    ByteVec window(oldWindow.begin(), oldWindow.end());
    ByteReader r(window, 10);
    const std::uint16_t active = r.u16();
    const std::uint16_t firstTab = r.u16();
    int newActive = map.New(active);
    const Sheet* activeSheet = newActive >= 0 ? &wb.sheets[active] : nullptr;
    if (activeSheet && activeSheet->visibility != 0 && activeSheet != visible) activeSheet = nullptr;
    if (!activeSheet) {
        activeSheet = visible;
        newActive = map.New(static_cast<std::size_t>(visible - wb.sheets.data()));
        if (auto w2 = Window2Of(wb, *visible)) {
            const Bytes old = DataOf(wb, *w2);
            ByteVec data(old.begin(), old.end());
            SetU16(data, 0, static_cast<std::uint16_t>((data[0] | (data[1] << 8)) | kWindow2Selected));
            edit.Replace(wb.records[*w2], MakeRecord(kRecWindow2, data));
        }
    }
    int selected = 0;
    for (const Sheet* s : kept) selected += (s == activeSheet || Selected(wb, *s)) ? 1 : 0;
    const int newFirst = map.New(firstTab);
    SetU16(window, 10, static_cast<std::uint16_t>(newActive));
    SetU16(window, 12, static_cast<std::uint16_t>(std::min(newFirst < 0 ? 0 : newFirst, newActive)));
    SetU16(window, 14, static_cast<std::uint16_t>(std::max(selected, 1)));
    edit.Replace(wb.records[*wb.window1], MakeRecord(kRecWindow1, window));
}

// RRTabId: one sheet id per BOUNDSHEET, in tab order.
void DropTabIds(const Workbook& wb, StreamEdit& edit) {
    if (!wb.tabIds || Continued(wb, *wb.tabIds)) return;
    const Bytes data = DataOf(wb, *wb.tabIds);
    if (data.size() != 2 * wb.sheets.size()) return;
    ByteVec kept;
    for (std::size_t i = 0; i < wb.sheets.size(); ++i)
        if (!wb.sheets[i].macro) kept.insert(kept.end(), data.begin() + static_cast<std::ptrdiff_t>(2 * i), data.begin() + static_cast<std::ptrdiff_t>(2 * i + 2));
    edit.Replace(wb.records[*wb.tabIds], MakeRecord(kRecTabIds, kept));
}

}  // namespace

MacroSheetRemoval WithoutMacroSheets(Bytes stream) {
    Workbook wb;
    wb.stream = stream;
    auto records = ListRecords(stream);
    if (!records || records->empty()) return {std::nullopt, "unreadable workbook records", 0};
    wb.records = std::move(*records);
    const bool anyMacroSheet = std::any_of(wb.records.begin(), wb.records.end(), [&](const RecordSpan& r) {
        return r.id == kRecBoundSheet && r.size > 5 && stream[r.dataOffset() + 5] == kMacroSheetType;
    });
    if (!anyMacroSheet) return {ByteVec(stream.begin(), stream.end()), {}, 0};
    if (auto failure = ReadGlobals(wb)) return {std::nullopt, *failure, 0};
    std::vector<bool> removed;
    for (const Sheet& s : wb.sheets) removed.push_back(s.macro);
    const SheetRenumbering map(removed);
    const std::size_t macroSheets = wb.sheets.size() - static_cast<std::size_t>(map.kept());
    if (macroSheets == 0) return {ByteVec(stream.begin(), stream.end()), {}, 0};
    if (map.kept() == 0) return {std::nullopt, "the workbook holds nothing but macro sheets", 0};

    StreamEdit edit(stream);
    for (const Sheet& s : wb.sheets) {
        if (!s.macro) continue;
        edit.Remove(wb.records[s.record].offset, wb.records[s.record].end() - wb.records[s.record].offset);
        edit.Remove(wb.records[s.bof].offset, wb.records[s.eof].end() - wb.records[s.bof].offset);
    }
    if (auto failure = RenumberExternSheet(wb, map, edit)) return {std::nullopt, *failure, 0};
    if (auto failure = RenumberNames(wb, map, edit)) return {std::nullopt, *failure, 0};
    KeepATabOnDisplay(wb, map, edit);
    DropTabIds(wb, edit);
    auto out = edit.Apply();
    if (!out) return {std::nullopt, "stream positions could not be moved", 0};
    return {std::move(*out), {}, macroSheets};
}

}  // namespace tessaly::analysis::biff
