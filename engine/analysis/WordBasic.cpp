// The command table is a run of records, each known by its first byte (WordBasicFormat.h). Word
// 6.0/95 counts its macros in 16 bits; Word 97 widened the count to 32 bits, so both are tried and
// the one whose records look like Mcds wins.
#include "WordBasic.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <tuple>

#include "CleanRefusals.h"
#include "Limits.h"
#include "WordBasicFormat.h"

namespace tessaly::analysis::wordbasic {
namespace {

constexpr std::size_t kMinTextRun = 3;

struct RawMcd {
    std::uint16_t nameIndex = 0;
    std::uint8_t key = 0;
    std::uint32_t length = 0, offset = 0;
};

bool LooksLikeMcds(Bytes table, std::size_t at, std::size_t count) {
    if (count == 0 || count > table.size() / mcd::kSize) return count == 0;
    if (at + count * mcd::kSize > table.size()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const auto signature = ReadField(table, mcd::kSignature, at + i * mcd::kSize);
        if (std::find(std::begin(mcd::kSignatures), std::end(mcd::kSignatures), signature) == std::end(mcd::kSignatures)) return false;
    }
    return true;
}

std::optional<std::vector<RawMcd>> ReadMcds(ByteReader& r, Bytes table) {
    // Sixteen bits first (Word 6.0/95), then thirty-two (Word 97 and later).
    std::size_t count = 0, width = 0;
    for (std::size_t w : {2u, 4u}) {
        ByteReader probe(table, r.pos());
        const std::size_t c = w == 2 ? probe.u16() : probe.u32();
        if (probe.ok() && LooksLikeMcds(table, probe.pos(), c)) {
            count = c;
            width = w;
            break;
        }
    }
    if (width == 0) return std::nullopt;
    r.skip(width);
    std::vector<RawMcd> mcds;
    for (std::size_t i = 0; i < count; ++i) {
        ByteReader m(r.bytes(mcd::kSize));
        mcds.push_back({m.get(mcd::kNameIndex), m.get(mcd::kXorKey), m.get(mcd::kTokensLength), m.get(mcd::kTokensOffset)});
    }
    if (!r.ok()) return std::nullopt;
    return mcds;
}

bool ReadNames(ByteReader& r, std::map<std::uint16_t, std::string>& names) {
    const std::uint16_t count = r.u16();
    for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        const std::uint16_t index = r.u16();
        const std::uint8_t length = r.u8();
        const Bytes chars = r.bytes(length);
        r.u8();
        names[index] = std::string(chars.begin(), chars.end());
    }
    return r.ok();
}

bool SkipCounted(ByteReader& r, std::size_t size) {
    const std::uint16_t count = r.u16();
    r.skip(static_cast<std::size_t>(count) * size);
    return r.ok();
}

// Printable runs of the tokens: keywords are numbers, but names, strings and comments are text.
std::string TextOf(Bytes tokens, std::uint8_t key) {
    std::string text, run;
    auto flush = [&] {
        if (run.size() >= kMinTextRun) text.append(run).push_back('\n');
        run.clear();
    };
    for (std::uint8_t b : tokens) {
        const auto c = static_cast<std::uint8_t>(b ^ key);
        if (c >= 0x20 && c < 0x7F) run.push_back(static_cast<char>(c));
        else flush();
    }
    flush();
    return text;
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> TableAt(Bytes stream, const TablePlace& place) {
    ByteReader r(stream);
    const std::uint32_t offset = r.get(place.offset);
    const std::uint32_t length = r.get(place.length);
    if (!r.ok()) return std::nullopt;
    return std::make_pair(offset, length);
}

}  // namespace

MacroTable ReadMacros(Bytes stream) {
    MacroTable t;
    const auto cmds = TableAt(stream, header::kCommandTable);
    if (!cmds) {
        t.readable = false;
        return t;
    }
    std::tie(t.tableOffset, t.tableLength) = *cmds;
    if (t.tableLength == 0) return t;
    if (t.tableOffset > stream.size() || t.tableLength > stream.size() - t.tableOffset) {
        t.readable = false;
        return t;
    }
    const Bytes table = stream.subspan(t.tableOffset, t.tableLength);
    ByteReader r(table);
    if (r.u8() != kTableStart) t.readable = false;
    std::vector<RawMcd> mcds;
    std::map<std::uint16_t, std::string> names;
    while (t.readable && r.ok() && !r.atEnd()) {
        const std::uint8_t kind = r.u8();
        if (kind == kTableEnd) break;
        bool ok = true;
        switch (kind) {
            case kMacros: {
                auto found = ReadMcds(r, table);
                ok = found.has_value();
                if (found) mcds.insert(mcds.end(), found->begin(), found->end());
                break;
            }
            case kAllocatedCommands: ok = SkipCounted(r, kAcdSize); break;
            case kKeyMaps:
            case kMoreKeyMaps: ok = SkipCounted(r, kKmeSize); break;
            case kMacroNames: ok = ReadNames(r, names); break;
            default: ok = false; break;  // a record of unknown size: what follows cannot be read
        }
        if (!ok) t.readable = false;
    }
    for (std::size_t i = 0; i < mcds.size() && i < limits::kMaxVbaModules; ++i) {
        Macro m;
        const RawMcd& raw = mcds[i];
        m.name = names.count(raw.nameIndex) ? names[raw.nameIndex] : "Macro" + std::to_string(i + 1);
        m.key = raw.key;
        m.offset = raw.offset;
        m.length = raw.length;
        m.readable = raw.offset <= stream.size() && raw.length <= stream.size() - raw.offset;
        if (m.readable) m.text = TextOf(stream.subspan(raw.offset, raw.length), raw.key);
        t.macros.push_back(std::move(m));
    }
    return t;
}

std::string SourceOf(const Macro& m) { return "Sub " + m.name + "\n" + m.text + "End Sub\n"; }

void InspectMacros(Bytes stream, bool isTemplate, Findings& f) {
    const MacroTable t = ReadMacros(stream);
    // Word runs macros only from templates; a document's command table holds at most its own
    // key and menu settings, so one we cannot read is alarming only in a template.
    if (!t.readable && isTemplate) {
        f.hasVbaStorage = true;
        f.vbaIncomplete = true;
        if (f.reason.empty()) f.reason = "unreadable WordBasic command table";
    }
    // One text for the whole template: families are known by the set of macros they bring.
    std::string source;
    for (const Macro& m : t.macros) {
        f.hasVbaStorage = true;
        f.vbaHasCode = true;
        if (!m.readable) f.vbaIncomplete = true;
        source += SourceOf(m);
    }
    if (!t.macros.empty()) f.code.push_back({"WordDocument/WordBasic", std::move(source), false, true});
}

std::optional<ByteVec> WithoutMacros(Bytes stream, std::string& refusal) {
    const MacroTable t = ReadMacros(stream);
    ByteReader fib(stream);
    const std::uint32_t fcMin = fib.get(header::kFcMin);
    const std::uint32_t fcMac = fib.get(header::kFcMac);
    auto refuse = [&] {
        refusal = std::string(refusals::kWordBasicUnreadable);
        return std::nullopt;
    };
    if (!t.readable || !fib.ok() || fcMac > stream.size()) return refuse();
    // Bytes inside the header or the document's text would mean overwriting the document.
    auto outsideDocument = [&](std::size_t offset, std::size_t length) {
        return offset >= std::max<std::size_t>(header::kSize, fcMin) && length <= stream.size() - std::min(offset, stream.size()) &&
               !(offset < fcMac && offset + length > fcMin);
    };
    for (const Macro& m : t.macros)
        if (!m.readable || !outsideDocument(m.offset, m.length)) return refuse();
    if (t.tableLength > 0 && !outsideDocument(t.tableOffset, t.tableLength)) return refuse();
    ByteVec out(stream.begin(), stream.end());
    // A table's bytes zeroed and the length its FIB field gives set to `keep`.
    auto wipe = [&](const TablePlace& place, std::size_t offset, std::size_t length, std::uint32_t keep) {
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(offset), length, 0);
        SetField(out, place.length, keep);
    };
    for (const Macro& m : t.macros) std::fill_n(out.begin() + m.offset, m.length, 0);
    if (t.tableLength > 0) {
        // The empty table: its start and end marks, where there is room for them.
        const std::uint32_t emptyLength = t.tableLength >= 2 ? 2 : 0;
        wipe(header::kCommandTable, t.tableOffset, t.tableLength, emptyLength);
        if (emptyLength != 0) {
            SetField(out, Field<std::uint8_t>{0}, kTableStart, t.tableOffset);
            SetField(out, Field<std::uint8_t>{1}, kTableEnd, t.tableOffset);
        }
    }
    for (const TablePlace& place : header::kMacroEraTables) {
        const auto table = TableAt(stream, place);
        if (table && table->second != 0 && outsideDocument(table->first, table->second)) wipe(place, table->first, table->second, 0);
    }
    return out;
}

}  // namespace tessaly::analysis::wordbasic
