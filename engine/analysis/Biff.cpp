// Records are walked in stream order; a sheet's substream is known by the offset its BOUNDSHEET
// gave, so macro sheet formulas are collected only where Excel would run them.
#include "Biff.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "Limits.h"
#include "XlmFunctions.h"

namespace tessaly::analysis::biff {
namespace {

enum : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kBoundSheet = 0x0085,
    kObjProj = 0x00D3,
    kName = 0x0018,
    kFormula = 0x0006,
    kIndex = 0x020B,
    kExtSst = 0x00FF,
    kString = 0x0207,
};
constexpr std::uint16_t kBiff5 = 0x0500;  // BOF version of Excel 5.0/95 workbooks

struct Record {
    std::size_t offset;
    std::uint16_t id;
    Bytes data;
};

template <typename F>
bool ForEachRecord(Bytes stream, F&& visit) {
    ByteReader r(stream);
    for (std::size_t n = 0; n < limits::kMaxBiffRecords && r.remaining() >= 4; ++n) {
        const std::size_t at = r.pos();
        const std::uint16_t id = r.u16();
        const std::uint16_t length = r.u16();
        Bytes data = r.bytes(length);
        if (!r.ok()) return false;
        if (!visit(Record{at, id, data})) return true;
    }
    return true;
}

// Function ids and string constants of a parsed formula, appended as text. BIFF5 strings have no
// flags byte: eight-bit characters follow the count directly.
void AppendFormulaText(Bytes rgce, std::string& out, bool biff5) {
    std::size_t i = 0;
    while (i < rgce.size()) {
        const std::uint8_t ptg = rgce[i];
        if (ptg == 0x17 && i + 2 < rgce.size()) {  // ptgStr: cch, flags, chars
            const std::size_t cch = rgce[i + 1];
            const bool wide = !biff5 && (rgce[i + 2] & 1) != 0;
            const std::size_t bytes = wide ? cch * 2 : cch;
            const std::size_t from = i + (biff5 ? 2 : 3);
            for (std::size_t k = 0; k < bytes && from + k < rgce.size(); k += wide ? 2 : 1)
                out.push_back(static_cast<char>(rgce[from + k]));
            out.push_back(' ');
            i = from + bytes;
            continue;
        }
        if ((ptg == 0x21 || ptg == 0x41 || ptg == 0x61) && i + 2 < rgce.size()) {
            if (auto name = xlm::FunctionName(ReadU16(rgce, i + 1))) out += *name;
            i += 3;
            continue;
        }
        if ((ptg == 0x22 || ptg == 0x42 || ptg == 0x62) && i + 3 < rgce.size()) {
            if (auto name = xlm::VariableFunctionName(ReadU16(rgce, i + 2))) out += *name;
            i += 4;
            continue;
        }
        ++i;
    }
    out.push_back('\n');
}

std::string ReadSheetName(Bytes data, std::size_t at, bool biff5 = false) {
    if (at + 2 > data.size()) return {};
    const std::size_t cch = data[at];
    const bool wide = !biff5 && (data[at + 1] & 1) != 0;
    std::string name;
    for (std::size_t k = 0, p = at + (biff5 ? 1 : 2); k < cch && p < data.size(); ++k, p += wide ? 2 : 1)
        name.push_back(static_cast<char>(data[p]));
    return name;
}

bool IsAutoOpenName(Bytes data, bool biff5) {
    if (data.size() < 15) return false;
    const std::uint16_t flags = ReadU16(data, 0);
    const std::size_t cch = data[3];
    const bool builtin = (flags & 0x0020) != 0;
    // Name text follows the 14-byte fixed part and, in BIFF8, a one-byte string flag.
    const std::size_t textAt = biff5 ? 14 : 15;
    if (builtin) return cch >= 1 && data.size() > textAt && (data[textAt] == 0x01 || data[textAt] == 0x0A);
    std::string text;
    const bool wide = !biff5 && (data[14] & 1) != 0;
    for (std::size_t k = 0, p = textAt; k < cch && p < data.size(); ++k, p += wide ? 2 : 1)
        text.push_back(static_cast<char>(std::tolower(data[p])));
    return text.rfind("auto_open", 0) == 0 || text.rfind("auto_activate", 0) == 0;
}

}  // namespace

Workbook ReadWorkbook(Bytes stream) {
    Workbook wb;
    bool sawBof = false;
    bool inMacroSheet = false;
    std::set<std::uint32_t> macroSheetOffsets;
    const bool complete = ForEachRecord(stream, [&](const Record& rec) {
        if (!sawBof && rec.id != kBof) return false;
        sawBof = true;
        switch (rec.id) {
            case kBof:
                if (rec.offset == 0) {
                    ByteReader version(rec.data);
                    wb.biff5 = version.u16() == kBiff5 && version.ok();
                }
                inMacroSheet = macroSheetOffsets.count(static_cast<std::uint32_t>(rec.offset)) > 0;
                break;
            case kEof:
                inMacroSheet = false;
                break;
            case kFilePass:
                wb.encrypted = true;
                break;
            case kObjProj:
                wb.hasObjProj = true;
                break;
            case kBoundSheet:
                if (rec.data.size() >= 8 && !wb.encrypted) {
                    Sheet s;
                    s.streamOffset = ReadU32(rec.data, 0);
                    s.visibility = rec.data[4];
                    s.type = static_cast<SheetType>(rec.data[5]);
                    s.name = ReadSheetName(rec.data, 6, wb.biff5);
                    if (s.type == SheetType::kMacroSheet) macroSheetOffsets.insert(s.streamOffset);
                    wb.sheets.push_back(std::move(s));
                } else if (rec.data.size() >= 8) {
                    // Offsets and types stay readable under encryption; names do not.
                    Sheet s;
                    s.streamOffset = ReadU32(rec.data, 0);
                    s.type = static_cast<SheetType>(rec.data[5]);
                    if (s.type == SheetType::kMacroSheet) macroSheetOffsets.insert(s.streamOffset);
                    wb.sheets.push_back(std::move(s));
                }
                break;
            case kName:
                if (!wb.encrypted && IsAutoOpenName(rec.data, wb.biff5)) wb.autoOpenName = true;
                break;
            case kFormula:
                if (inMacroSheet && !wb.encrypted && rec.data.size() > 22)
                    AppendFormulaText(rec.data.subspan(22), wb.macroSheetText, wb.biff5);
                break;
            case kString:
                if (inMacroSheet && !wb.encrypted) {
                    wb.macroSheetText += ReadSheetName(rec.data, 1);
                    wb.macroSheetText.push_back('\n');
                }
                break;
            default:
                break;
        }
        return true;
    });
    wb.readable = complete && sawBof;
    std::transform(wb.macroSheetText.begin(), wb.macroSheetText.end(), wb.macroSheetText.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return wb;
}

std::optional<ByteVec> WithoutVbaProjectRecord(Bytes stream) {
    std::vector<std::size_t> removed;  // offsets of removed records (each 4 bytes long)
    bool sound = true;
    ForEachRecord(stream, [&](const Record& rec) {
        if (rec.id == kFilePass) sound = false;
        if (rec.id == kObjProj) {
            if (!rec.data.empty()) sound = false;
            removed.push_back(rec.offset);
        }
        return true;
    });
    if (!sound) return std::nullopt;
    ByteVec out(stream.begin(), stream.end());
    if (removed.empty()) return out;
    // `removed` is in stream order, so the records before a position are found by bisection.
    auto shifted = [&](std::uint32_t position) {
        const auto before = std::lower_bound(removed.begin(), removed.end(), std::size_t{position}) - removed.begin();
        return position - static_cast<std::uint32_t>(4 * before);
    };
    auto patch32 = [&](std::size_t at) {
        const std::uint32_t v = shifted(ReadU32(out, at));
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    ForEachRecord(stream, [&](const Record& rec) {
        const std::size_t body = rec.offset + 4;
        if (rec.id == kBoundSheet && rec.data.size() >= 4) patch32(body);
        if (rec.id == kIndex && rec.data.size() >= 16) {
            patch32(body + 12);
            for (std::size_t at = 16; at + 4 <= rec.data.size(); at += 4) patch32(body + at);
        }
        if (rec.id == kExtSst)
            for (std::size_t at = 2; at + 8 <= rec.data.size(); at += 8) patch32(body + at);
        return true;
    });
    ByteVec kept;
    kept.reserve(out.size());
    std::size_t from = 0;
    for (std::size_t r : removed) {
        kept.insert(kept.end(), out.begin() + static_cast<std::ptrdiff_t>(from), out.begin() + static_cast<std::ptrdiff_t>(r));
        from = r + 4;
    }
    kept.insert(kept.end(), out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
    return kept;
}

}  // namespace tessaly::analysis::biff
