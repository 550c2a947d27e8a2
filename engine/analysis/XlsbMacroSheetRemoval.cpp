// The part has no absolute positions, so the new part is the old records in order with some
// dropped and some rewritten.
#include "XlsbMacroSheetRemoval.h"

#include <algorithm>
#include <map>

#include "Ooxml.h"
#include "SheetRenumbering.h"
#include "XlsbRecords.h"

namespace tessaly::analysis::xlsb {
namespace {

constexpr std::uint32_t kName = 0x0027;
constexpr std::uint32_t kBundleSheet = 0x009C;
constexpr std::uint32_t kBookView = 0x009E;
constexpr std::uint32_t kSupBookSource = 0x0163;
constexpr std::uint32_t kSupSelf = 0x0165;
constexpr std::uint32_t kSupSame = 0x0166;
constexpr std::uint32_t kSupAddin = 0x029B;
constexpr std::uint32_t kExternSheet = 0x016A;
constexpr std::uint32_t kWorkbookScope = 0xFFFFFFFF;
constexpr std::uint32_t kNameHidden = 0x01;
constexpr std::uint32_t kNameVba = 0x04;
constexpr std::uint32_t kNameMacro = 0x08;

struct Sheet {
    std::size_t record;
    std::uint32_t visibility;
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

void SetU32(ByteVec& data, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) data[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::optional<ByteVec> RenumberedXtis(const Part& part, std::size_t index, std::optional<std::uint32_t> self, const SheetRenumbering& map) {
    ByteVec data = part.Copy(index);
    ByteReader r(data);
    const std::uint32_t count = r.u32();
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::size_t at = r.pos();
        const std::uint32_t link = r.u32();
        const auto first = static_cast<std::int32_t>(r.u32());
        const auto last = static_cast<std::int32_t>(r.u32());
        if (!r.ok()) return std::nullopt;
        if (!self || link != *self || first < 0 || last < 0) continue;
        const auto range = map.Range(first, last);
        SetU32(data, at + 4, static_cast<std::uint32_t>(range ? range->first : -1));
        SetU32(data, at + 8, static_cast<std::uint32_t>(range ? range->second : -1));
    }
    return data;
}

ByteVec InertName(const std::string& text) {
    ByteVec d;
    PutU32(d, kNameHidden);
    d.push_back(0);
    PutU32(d, kWorkbookScope);
    PutWideString(d, text);
    PutU32(d, 2);
    d.insert(d.end(), {0x1C, 0x17});  // #REF!
    PutU32(d, 0);
    PutU32(d, 0xFFFFFFFF);  // no comment
    return MakeRecord(kName, d);
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
            ByteReader r(part.Data(i));
            Sheet s{i, r.u32(), {}};
            r.u32();  // sheet id
            auto relId = ReadWideString(r);
            if (!relId) return {std::nullopt, "unreadable sheet record"};
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
        if (!removed[k] && (sheets[k].visibility & 0x3) == 0 && !visible) visible = k;
    const bool unhide = !visible;
    if (unhide) visible = static_cast<std::size_t>(std::find(removed.begin(), removed.end(), false) - removed.begin());

    std::map<std::size_t, std::optional<ByteVec>> replaced;  // record index -> new record, or dropped
    std::set<std::string> taken;
    for (std::size_t i = 0; i < part.records.size(); ++i) {
        if (part.records[i].type != kName) continue;
        ByteReader r(part.Data(i));
        r.u32();
        r.u8();
        r.u32();
        auto text = ReadWideString(r);
        if (!text) return {std::nullopt, "unreadable defined name"};
        taken.insert(ooxml::LowerAscii(*text));
    }
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        if (removed[k]) replaced[sheets[k].record] = std::nullopt;
        else if (unhide && k == *visible) {
            ByteVec data = part.Copy(sheets[k].record);
            SetU32(data, 0, sheets[k].visibility & ~0x3u);
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
            const std::uint32_t flags = r.u32();
            r.u8();
            const std::uint32_t itab = r.u32();
            const std::string text = ooxml::LowerAscii(ReadWideString(r).value_or(std::string{}));
            const bool onRemovedSheet = itab != kWorkbookScope && map.New(itab) < 0;
            const bool xlmMacro = (flags & kNameMacro) && !(flags & kNameVba);
            if (NameStartsMacros(text) || onRemovedSheet || xlmMacro) {
                replaced[i] = InertName(UniqueInertName(taken));
            } else if (itab != kWorkbookScope) {
                SetU32(data, 5, static_cast<std::uint32_t>(map.New(itab)));
                replaced[i] = MakeRecord(kName, data);
            }
        } else if (type == kBookView && part.records[i].size >= 28) {
            ByteVec data = part.Copy(i);
            ByteReader r(data, 20);
            const std::uint32_t firstTab = r.u32();
            const std::uint32_t active = r.u32();
            int newActive = map.New(active);
            if (newActive < 0 || (sheets[active].visibility & 0x3) != 0) newActive = map.New(*visible);
            const int newFirst = std::min(std::max(map.New(firstTab), 0), newActive);
            SetU32(data, 20, static_cast<std::uint32_t>(newFirst));
            SetU32(data, 24, static_cast<std::uint32_t>(newActive));
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
