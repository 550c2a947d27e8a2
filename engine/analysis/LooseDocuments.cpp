// Recognition is strict where a format has a signature (a BOF record that starts the stream, the
// Word identifier) and the records must tile the file; a web page is known by its markup.
#include "LooseDocuments.h"

#include <algorithm>
#include <string_view>

#include "Limits.h"
#include "Text.h"

namespace tessaly::analysis::loose {
namespace {

constexpr std::uint16_t kBofRecords[] = {0x0009, 0x0209, 0x0409};
constexpr std::uint16_t kMacroSheetType = 0x0040;
constexpr std::uint16_t kEofRecord = 0x000A;
constexpr std::uint16_t kNameRecords[] = {0x0018, 0x0218};
constexpr std::size_t kMinTextRun = 3;

bool IsBof(std::uint16_t id) { return std::find(std::begin(kBofRecords), std::end(kBofRecords), id) != std::end(kBofRecords); }

void AppendText(Bytes data, std::string& out) {
    std::string run;
    for (std::uint8_t c : data) {
        if (c >= 0x20 && c < 0x7F) {
            run.push_back(static_cast<char>(c));
            continue;
        }
        if (run.size() >= kMinTextRun) out.append(run).push_back(' ');
        run.clear();
    }
    if (run.size() >= kMinTextRun) out.append(run).push_back(' ');
}

bool NamesAutoOpen(Bytes name) {
    std::string lower;
    for (std::uint8_t c : name) lower.push_back(AsciiLower(static_cast<char>(c)));
    // A built-in name is the single byte 1 (Auto_Open) or 10 (Auto_Activate) after the fixed part.
    const bool builtin = name.size() > 6 && (name[0] & 0x20) != 0 && (name.back() == 0x01 || name.back() == 0x0A);
    return builtin || lower.find("auto_open") != std::string::npos || lower.find("auto_activate") != std::string::npos;
}

// Excel 2.x-4.0: a stream of records opening with a BOF; a macro sheet says so in its BOF.
bool InspectRawBiff(Bytes data, Findings& f) {
    ByteReader r(data);
    if (!IsBof(r.u16())) return false;
    r = ByteReader(data);
    bool macroSheet = false, sawEof = false;
    std::string text;
    for (std::size_t n = 0; n < limits::kMaxBiffRecords && r.remaining() >= 4; ++n) {
        const std::uint16_t id = r.u16();
        const std::uint16_t length = r.u16();
        const Bytes body = r.bytes(length);
        if (!r.ok()) return false;
        if (IsBof(id)) {
            ByteReader bof(body, 2);
            if (bof.u16() == kMacroSheetType && bof.ok()) macroSheet = true;
        }
        if (id == kEofRecord) sawEof = true;
        if (std::find(std::begin(kNameRecords), std::end(kNameRecords), id) != std::end(kNameRecords) && NamesAutoOpen(body))
            f.xlmAutoOpen = true;
        if (macroSheet) AppendText(body, text);
    }
    if (!sawEof) return false;
    f.container = Container::kUnknown;
    if (macroSheet) {
        f.hasXlm = true;
        f.code.push_back({"Excel 4.0 macro sheet", text, true});
    } else {
        f.xlmAutoOpen = false;
    }
    return true;
}

// Word 1.x (0xA59B) and 2.0 (0xA5DB): macros exist only in templates, in the command table.
bool InspectOldWord(Bytes data, Findings& f) {
    ByteReader r(data);
    const std::uint16_t ident = r.u16();
    if (ident != 0xA59B && ident != 0xA5DB) return false;
    r.skip(8);  // to the flags at 0x0A
    const std::uint16_t flags = r.u16();
    ByteReader cmds(data, 0xE8);
    const std::uint32_t tableAt = cmds.u32();
    const std::uint16_t tableLength = cmds.u16();
    if (!r.ok() || !cmds.ok()) return false;
    if ((flags & 0x0100) != 0) {
        f.encrypted = true;
        return true;
    }
    // An empty table is the start byte and the end byte; anything more in a template may be macros.
    const bool isTemplate = (flags & 0x0001) != 0;
    if (isTemplate && tableLength > 2 && tableAt <= data.size()) {
        f.hasVbaStorage = true;
        f.vbaIncomplete = true;
        f.reason = "Word 2.0 template with macros";
    }
    return true;
}

std::string LowerPrefix(Bytes data, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < data.size() && i < n; ++i) out.push_back(AsciiLower(static_cast<char>(data[i])));
    return out;
}

// Web pages saved by Office ("Save as Web Page"), or MHTML archives of them. Macros come along as
// an ActiveMime part ("editdata.mso"), raw or base64.
bool InspectWebPage(Bytes data, Findings& f) {
    const std::string head = LowerPrefix(data, 2048);
    const bool page = head.find("<html") != std::string::npos || head.find("<!doctype html") != std::string::npos;
    const bool archive = head.rfind("mime-version:", 0) == 0;
    if (!page && !archive) return false;
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    for (std::string_view marker : {"ActiveMime", "QWN0aXZlTWltZQ"}) {
        if (text.find(marker) != std::string_view::npos) {
            f.hasVbaStorage = true;
            f.vbaIncomplete = true;
            f.reason = "macros in an ActiveMime part";
        }
    }
    return true;
}

}  // namespace

bool Inspect(Bytes document, Findings& f) {
    return InspectRawBiff(document, f) || InspectOldWord(document, f) || InspectWebPage(document, f);
}

}  // namespace tessaly::analysis::loose
