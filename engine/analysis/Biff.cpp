// Records are walked in stream order, from a ByteSource so a large workbook stream is read in
// pieces where it lies. A scan reads the globals substream and the substreams of macro sheets
// (known by the offsets their BOUNDSHEET records give), where Excel would run formulas; the other
// sheets are not walked, so the time a scan takes does not grow with the size of the data.
#include "Biff.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "BiffFormat.h"
#include "ByteSink.h"
#include "Limits.h"
#include "Text.h"
#include "WorkbookCipher.h"
#include "XlmFunctions.h"

namespace tessaly::analysis::biff {
namespace {

struct Record {
    std::uint64_t offset;
    std::uint16_t id;
    Bytes data;
};

// Visits the records from `start` on until `visit` returns false or the stream ends. Returns
// false when a record runs past the end of the stream or `maxRecords` were visited.
template <typename F>
bool ForEachRecord(const ByteSource& stream, std::uint64_t start, std::uint64_t maxRecords, F&& visit) {
    ByteVec scratch;
    std::uint64_t at = start;
    for (std::uint64_t n = 0; at <= stream.size() && stream.size() - at >= record::kHeaderSize; ++n) {
        if (n >= maxRecords) return false;
        const Bytes head = stream.View(at, record::kHeaderSize, scratch);
        ByteReader r(head);
        const std::uint16_t id = r.get(record::kId);
        const std::uint16_t length = r.get(record::kLength);
        const Bytes data = stream.View(at + record::kHeaderSize, length, scratch);
        if (!r.ok() || data.size() != length) return false;
        if (!visit(Record{at, id, data})) return true;
        at += record::kHeaderSize + length;
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

// Whether the substream a BOUNDSHEET names starts with a macro sheet's BOF.
bool SubstreamIsMacroSheet(const ByteSource& stream, std::uint32_t at) {
    ByteVec scratch;
    const Bytes head = stream.View(at, record::kHeaderSize, scratch);
    if (ReadField(head, record::kId) != kBof) return false;
    const std::uint16_t length = ReadField(head, record::kLength).value_or(0);
    return OpensMacroSheet(stream.View(at + record::kHeaderSize, length, scratch));
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

Workbook ReadWorkbook(Bytes stream) { return ReadWorkbook(SpanSource(stream)); }

namespace {

// One walk over the globals, then one over each macro sheet's substream, filling one Workbook.
class WorkbookReader {
public:
    explicit WorkbookReader(const ByteSource& stream) : m_stream(stream) {}

    Workbook Read() {
        bool complete = Walk(0);
        for (Sheet& s : m_wb.sheets)
            if (s.type != SheetType::kMacroSheet && SubstreamIsMacroSheet(m_stream, s.streamOffset)) {
                s.type = SheetType::kMacroSheet;
                m_macroSheetOffsets.insert(s.streamOffset);
            }
        // Macro sheets in stream order; a substream that does not start with BOF is not one, and
        // one that starts inside a substream already walked was read with it.
        for (std::uint32_t offset : m_macroSheetOffsets) {
            if (!complete) break;
            ByteVec scratch;
            if (offset < m_walkedTo || ReadField(m_stream.View(offset, record::kHeaderSize, scratch), record::kId) != kBof) continue;
            complete = Walk(offset);
        }
        m_wb.readable = complete && m_sawBof && !m_filePassMalformed;
        m_wb.macroSheetText = UpperAscii(m_wb.macroSheetText);
        return std::move(m_wb);
    }

private:
    bool Walk(std::uint64_t from) {
        return ForEachRecord(m_stream, from, limits::kMaxBiffRecords, [&](const Record& rec) {
            m_walkedTo = rec.offset + record::kHeaderSize + rec.data.size();
            return Visit(rec);
        });
    }

    // False where the walk of this substream ends.
    bool Visit(const Record& rec) {
        if (!m_sawBof && rec.id != kBof) return false;
        m_sawBof = true;
        switch (rec.id) {
            case kBof:
                if (rec.offset == 0) m_wb.biff5 = ReadField(rec.data, bof::kVersion) == bof::kBiff5;
                m_inMacroSheet = m_macroSheetOffsets.count(static_cast<std::uint32_t>(rec.offset)) > 0;
                break;
            case kEof:
                // A substream ends here; only the globals and macro sheets are walked.
                m_inMacroSheet = false;
                return false;
            case kFilePass:
                m_wb.encrypted = true;
                if (!FilePassFitsItsKind(rec.data, m_wb.biff5)) m_filePassMalformed = true;
                break;
            case kObjProj: m_wb.hasObjProj = true; break;
            case kBoundSheet: AddSheet(rec.data); break;
            case kName:
                if (!m_wb.encrypted && IsAutoOpenName(rec.data, m_wb.biff5)) m_wb.autoOpenName = true;
                break;
            case kFormula:
                if (m_inMacroSheet && !m_wb.encrypted && rec.data.size() > formula::kParsedOffset)
                    AppendFormulaText(rec.data.subspan(formula::kParsedOffset), m_wb.macroSheetText, m_wb.biff5);
                break;
            case kString:
                if (m_inMacroSheet && !m_wb.encrypted) {
                    m_wb.macroSheetText += ReadSheetName(rec.data, 1);
                    m_wb.macroSheetText.push_back('\n');
                }
                break;
            default: break;
        }
        return true;
    }

    void AddSheet(Bytes data) {
        if (data.size() < boundsheet::kMinSize) return;
        ByteReader r(data);
        Sheet s;
        s.streamOffset = r.get(boundsheet::kStreamPosition);
        s.type = static_cast<SheetType>(r.get(boundsheet::kSheetType));
        // Offsets stay readable under encryption; names and states do not.
        if (!m_wb.encrypted) {
            s.visibility = r.get(boundsheet::kVisibility);
            s.name = ReadSheetName(data, boundsheet::kNameOffset, m_wb.biff5);
        }
        if (s.type == SheetType::kMacroSheet) m_macroSheetOffsets.insert(s.streamOffset);
        m_wb.sheets.push_back(std::move(s));
    }

    const ByteSource& m_stream;
    Workbook m_wb;
    bool m_sawBof = false;
    bool m_inMacroSheet = false;
    bool m_filePassMalformed = false;
    std::set<std::uint32_t> m_macroSheetOffsets;
    std::uint64_t m_walkedTo = 0;  // end of the last record visited
};

}  // namespace

Workbook ReadWorkbook(const ByteSource& stream) { return WorkbookReader(stream).Read(); }

bool ListsMacroSheets(const ByteSource& stream) {
    bool found = false;
    std::vector<std::uint32_t> substreams;
    ForEachRecord(stream, 0, limits::kMaxBiffRecords, [&](const Record& rec) {
        if (rec.id == kBoundSheet) {
            found = found || ReadField(rec.data, boundsheet::kSheetType) == boundsheet::kMacroSheet;
            if (auto at = ReadField(rec.data, boundsheet::kStreamPosition)) substreams.push_back(*at);
        }
        return rec.id != kEof && !found;
    });
    return found || std::any_of(substreams.begin(), substreams.end(), [&](std::uint32_t at) { return SubstreamIsMacroSheet(stream, at); });
}

std::optional<WorkbookEdit> PlanWithoutVbaProjectRecord(const ByteSource& stream) {
    WorkbookEdit edit;
    bool sound = true;
    ForEachRecord(stream, 0, UINT64_MAX, [&](const Record& rec) {
        if (rec.id == kFilePass) sound = false;
        if (rec.id == kObjProj) {
            if (!rec.data.empty()) sound = false;
            edit.removed.push_back(rec.offset);
        }
        return sound;
    });
    if (!sound) return std::nullopt;
    edit.size = stream.size() - record::kHeaderSize * edit.removed.size();
    return edit;
}

bool WriteEdited(const ByteSource& stream, const WorkbookEdit& edit, ByteSink& out) {
    // `removed` is in stream order, so the records before a position are found by bisection.
    auto shifted = [&](std::uint32_t position) {
        const auto before = std::lower_bound(edit.removed.begin(), edit.removed.end(), std::uint64_t{position}) - edit.removed.begin();
        return position - static_cast<std::uint32_t>(record::kHeaderSize * before);
    };
    ByteVec pending;
    auto patch32 = [&](std::size_t at) {
        const Field<std::uint32_t> position{at};
        SetField(pending, position, shifted(ByteReader(pending).get(position)));
    };
    std::size_t nextRemoved = 0;
    std::uint64_t end = 0;
    constexpr std::size_t kFlushAt = 1u << 20;
    ForEachRecord(stream, 0, UINT64_MAX, [&](const Record& rec) {
        end = rec.offset + record::kHeaderSize + rec.data.size();
        if (nextRemoved < edit.removed.size() && edit.removed[nextRemoved] == rec.offset) {
            ++nextRemoved;
            return true;
        }
        const std::size_t body = pending.size() + record::kHeaderSize;
        PutU16(pending, rec.id);
        PutU16(pending, static_cast<std::uint16_t>(rec.data.size()));
        PutBytes(pending, rec.data);
        // Every patched position lies inside the record just copied.
        ForEachPositionField(rec.id, rec.data.size(), [&](std::size_t at) { patch32(body + at); });
        if (pending.size() >= kFlushAt) {
            out.Write(pending);
            pending.clear();
        }
        return true;
    });
    // Bytes after the last whole record (padding, a cut record) are kept as they were.
    ByteVec scratch;
    for (std::uint64_t at = end; at < stream.size();) {
        const Bytes tail = stream.View(at, static_cast<std::size_t>(std::min<std::uint64_t>(stream.size() - at, kFlushAt)), scratch);
        if (tail.empty()) return false;
        PutBytes(pending, tail);
        at += tail.size();
    }
    out.Write(pending);
    return nextRemoved == edit.removed.size();
}

std::optional<ByteVec> WithoutVbaProjectRecord(Bytes stream) {
    const SpanSource source(stream);
    const auto edit = PlanWithoutVbaProjectRecord(source);
    if (!edit) return std::nullopt;
    MemorySink out;
    if (!WriteEdited(source, *edit, out)) return std::nullopt;
    return out.Take();
}

}  // namespace tessaly::analysis::biff
