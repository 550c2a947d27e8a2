// Records are walked in stream order; a sheet's substream is known by the offset its BOUNDSHEET
// gave, so macro sheet formulas are collected only where Excel would run them.
#include "Biff.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "BiffFormat.h"
#include "Limits.h"
#include "Text.h"
#include "XlmFunctions.h"

namespace tessaly::analysis::biff {
namespace {

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
        const std::uint16_t id = r.get(record::kId, at);
        const std::uint16_t length = r.get(record::kLength, at);
        r.skip(record::kHeaderSize);
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
        if (ptg == ptg::kStr && i + 2 < rgce.size()) {  // cch, flags, chars
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
        // A fixed-argument call holds the function id right after the token; a variable one
        // puts the argument count first.
        const bool fixed = std::find(std::begin(ptg::kFunc), std::end(ptg::kFunc), ptg) != std::end(ptg::kFunc);
        const bool variable = std::find(std::begin(ptg::kFuncVar), std::end(ptg::kFuncVar), ptg) != std::end(ptg::kFuncVar);
        if (fixed || variable) {
            const std::size_t idAt = i + (fixed ? 1 : 2);
            const auto id = ReadAt<std::uint16_t>(rgce, idAt);
            if (!id) break;
            if (auto name = fixed ? xlm::FunctionName(*id) : xlm::VariableFunctionName(*id)) out += *name;
            i = idAt + 2;
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
    ByteReader r(data);
    const std::uint16_t flags = r.get(name::kFlags);
    const std::size_t cch = r.get(name::kNameLength);
    if (!r.ok() || data.size() < name::kTextOffset) return false;
    // Name text follows the fixed part and, in BIFF8, a one-byte string flag.
    const std::size_t textAt = biff5 ? name::kTextOffsetBiff5 : name::kTextOffset;
    if ((flags & name::kBuiltinFlag) != 0)
        return cch >= 1 && data.size() > textAt &&
               (data[textAt] == name::kBuiltinAutoOpen || data[textAt] == name::kBuiltinAutoActivate);
    std::string text;
    const bool wide = !biff5 && (data[name::kStringFlagsOffset] & 1) != 0;
    for (std::size_t k = 0, p = textAt; k < cch && p < data.size(); ++k, p += wide ? 2 : 1)
        text.push_back(static_cast<char>(data[p]));
    return StartsWithNoCase(text, "auto_open") || StartsWithNoCase(text, "auto_activate");
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
                if (rec.offset == 0) wb.biff5 = ReadField(rec.data, bof::kVersion) == bof::kBiff5;
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
                if (rec.data.size() >= boundsheet::kMinSize) {
                    ByteReader r(rec.data);
                    Sheet s;
                    s.streamOffset = r.get(boundsheet::kStreamPosition);
                    s.type = static_cast<SheetType>(r.get(boundsheet::kSheetType));
                    // Offsets and types stay readable under encryption; names and states do not.
                    if (!wb.encrypted) {
                        s.visibility = r.get(boundsheet::kVisibility);
                        s.name = ReadSheetName(rec.data, boundsheet::kNameOffset, wb.biff5);
                    }
                    if (s.type == SheetType::kMacroSheet) macroSheetOffsets.insert(s.streamOffset);
                    wb.sheets.push_back(std::move(s));
                }
                break;
            case kName:
                if (!wb.encrypted && IsAutoOpenName(rec.data, wb.biff5)) wb.autoOpenName = true;
                break;
            case kFormula:
                if (inMacroSheet && !wb.encrypted && rec.data.size() > formula::kParsedOffset)
                    AppendFormulaText(rec.data.subspan(formula::kParsedOffset), wb.macroSheetText, wb.biff5);
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
    wb.macroSheetText = UpperAscii(wb.macroSheetText);
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
        return position - static_cast<std::uint32_t>(record::kHeaderSize * before);
    };
    // Every patched position lies inside a record the walk saw whole.
    auto patch32 = [&](std::size_t at) {
        const Field<std::uint32_t> position{at};
        SetField(out, position, shifted(ByteReader(out).get(position)));
    };
    ForEachRecord(stream, [&](const Record& rec) {
        const std::size_t body = rec.offset + record::kHeaderSize;
        if (rec.id == kBoundSheet && rec.data.size() >= boundsheet::kStreamPosition.end())
            patch32(body + boundsheet::kStreamPosition.offset);
        if (rec.id == kIndex && rec.data.size() >= rowindex::kMinSize) {
            patch32(body + rowindex::kDefColWidthPosition.offset);
            for (std::size_t at = rowindex::kRowBlockPositionsOffset; at + 4 <= rec.data.size(); at += 4) patch32(body + at);
        }
        if (rec.id == kExtSst)
            for (std::size_t at = extsst::kFirstBucketOffset; at + extsst::kBucketSize <= rec.data.size(); at += extsst::kBucketSize)
                patch32(body + at);
        return true;
    });
    ByteVec kept;
    kept.reserve(out.size());
    std::size_t from = 0;
    for (std::size_t r : removed) {
        kept.insert(kept.end(), out.begin() + static_cast<std::ptrdiff_t>(from), out.begin() + static_cast<std::ptrdiff_t>(r));
        from = r + record::kHeaderSize;
    }
    kept.insert(kept.end(), out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
    return kept;
}

}  // namespace tessaly::analysis::biff
