// WordBasic macros of Word 6.0/95 templates. They live in the WordDocument stream itself: the
// FIB's command table (fcCmds, lcbCmds) lists each macro (an Mcd: name index, XOR key of an
// execute-only macro, length and position of its tokens) and names them; the tokens are stored
// elsewhere in the stream.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "Findings.h"

namespace tessaly::analysis::wordbasic {

struct Macro {
    std::string name;
    std::uint8_t key = 0;       // 0: stored plain; else every byte XOR this key (execute-only)
    std::uint32_t offset = 0;   // of the tokens in the WordDocument stream
    std::uint32_t length = 0;
    bool readable = false;      // the tokens lie inside the stream
    std::string text;           // what can be read of them: names, strings, identifiers
};

struct MacroTable {
    std::uint32_t tableOffset = 0, tableLength = 0;  // fcCmds, lcbCmds
    bool readable = true;                            // the command table could be walked
    std::vector<Macro> macros;
};

MacroTable ReadMacros(Bytes wordDocument);

// A macro as source text for matching: "Sub <name>", its text, "End Sub".
std::string SourceOf(const Macro& macro);

// The macros of a Word 6.0/95 WordDocument stream as findings (WordBasic code, or a macro table
// that cannot be read).
void InspectMacros(Bytes wordDocument, bool isTemplate, Findings& findings);

// The stream without macros: an empty command table, the macro tokens and names overwritten with
// zeros in place, so nothing else in the stream moves. nullopt, with the reason, when the table
// cannot be read or a macro's bytes overlap the document's own.
std::optional<ByteVec> WithoutMacros(Bytes wordDocument, std::string& refusal);

}  // namespace tessaly::analysis::wordbasic
