// The command table starts with 0xFF and is a run of records, each known by its first byte, up to
// the terminator 0x40: 0x01 the macros (a count, then 24-byte Mcds), 0x02 allocated commands
// (4 bytes each), 0x03/0x04 key assignments (14 bytes each), 0x11 the macro names (an index, a
// length-prefixed name, a zero). Word 6.0/95 counts in 16 bits; Word 97 widened the macro count
// to 32 bits, so both are tried and the one whose records look like Mcds wins. The Mcd fields
// that Word 97 reserves carry, in Word 6.0/95, the XOR key (byte 1), the token length (12) and
// their offset in the stream (20).
#include "WordBasic.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "CleanRefusals.h"
#include "Limits.h"

namespace tessaly::analysis::wordbasic {
namespace {

constexpr std::size_t kFcMinField = 0x18;
constexpr std::size_t kCmdsField = 0x118;
// Two more tables of the macro era follow the command table in the FIB; emptied with it.
constexpr std::size_t kMacroTableFields[] = {0x120, 0x128};
constexpr std::size_t kFibEnd = 0x300;  // the Word 6.0/95 FIB, and where its text starts
constexpr std::size_t kMcdSize = 24;
constexpr std::size_t kKmeSize = 14;
constexpr std::size_t kAcdSize = 4;
constexpr std::uint8_t kTableStart = 0xFF;
constexpr std::uint8_t kTableEnd = 0x40;
constexpr std::size_t kMinTextRun = 3;

struct RawMcd {
    std::uint16_t nameIndex = 0;
    std::uint8_t key = 0;
    std::uint32_t length = 0, offset = 0;
};

bool LooksLikeMcds(Bytes table, std::size_t at, std::size_t count) {
    if (count == 0 || count > table.size() / kMcdSize) return count == 0;
    if (at + count * kMcdSize > table.size()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t first = table[at + i * kMcdSize];
        if (first != 0x55 && first != 0x56) return false;
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
        ByteReader m(r.bytes(kMcdSize));
        RawMcd mcd;
        m.u8();
        mcd.key = m.u8();
        mcd.nameIndex = m.u16();
        m.skip(8);
        mcd.length = m.u32();
        m.skip(4);
        mcd.offset = m.u32();
        mcds.push_back(mcd);
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

std::optional<std::pair<std::uint32_t, std::uint32_t>> CommandTable(Bytes stream) {
    ByteReader r(stream, kCmdsField);
    const std::uint32_t offset = r.u32();
    const std::uint32_t length = r.u32();
    if (!r.ok()) return std::nullopt;
    return std::make_pair(offset, length);
}

}  // namespace

MacroTable ReadMacros(Bytes stream) {
    MacroTable t;
    const auto cmds = CommandTable(stream);
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
            case 0x01: {
                auto found = ReadMcds(r, table);
                ok = found.has_value();
                if (found) mcds.insert(mcds.end(), found->begin(), found->end());
                break;
            }
            case 0x02: ok = SkipCounted(r, kAcdSize); break;
            case 0x03:
            case 0x04: ok = SkipCounted(r, kKmeSize); break;
            case 0x11: ok = ReadNames(r, names); break;
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
    ByteReader fib(stream, kFcMinField);
    const std::uint32_t fcMin = fib.u32();
    const std::uint32_t fcMac = fib.u32();
    if (!t.readable || !fib.ok() || fcMac > stream.size()) {
        refusal = std::string(refusals::kWordBasicUnreadable);
        return std::nullopt;
    }
    // Bytes inside the header or the document's text would mean overwriting the document.
    auto outsideDocument = [&](std::size_t offset, std::size_t length) {
        return offset >= std::max<std::size_t>(kFibEnd, fcMin) && length <= stream.size() - std::min(offset, stream.size()) &&
               !(offset < fcMac && offset + length > fcMin);
    };
    for (const Macro& m : t.macros) {
        if (!m.readable || !outsideDocument(m.offset, m.length)) {
            refusal = std::string(refusals::kWordBasicUnreadable);
            return std::nullopt;
        }
    }
    ByteVec out(stream.begin(), stream.end());
    auto wipe = [&](std::size_t field, std::size_t offset, std::size_t length, std::uint32_t keep) {
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(offset), length, 0);
        for (int i = 0; i < 4; ++i) out[field + 4 + i] = static_cast<std::uint8_t>(keep >> (8 * i));
    };
    for (const Macro& m : t.macros) std::fill_n(out.begin() + m.offset, m.length, 0);
    if (t.tableLength > 0) {
        if (!outsideDocument(t.tableOffset, t.tableLength)) {
            refusal = std::string(refusals::kWordBasicUnreadable);
            return std::nullopt;
        }
        const std::uint32_t emptyLength = t.tableLength >= 2 ? 2 : 0;
        wipe(kCmdsField, t.tableOffset, t.tableLength, emptyLength);
        if (emptyLength != 0) {
            out[t.tableOffset] = kTableStart;
            out[t.tableOffset + 1] = kTableEnd;
        }
    }
    for (std::size_t field : kMacroTableFields) {
        ByteReader r(stream, field);
        const std::uint32_t offset = r.u32();
        const std::uint32_t length = r.u32();
        if (r.ok() && length != 0 && outsideDocument(offset, length)) wipe(field, offset, length, 0);
    }
    return out;
}

}  // namespace tessaly::analysis::wordbasic
