// What the readers found in a document, before any decision: the container, its state, and the
// macro code it carries. The decision logic works only from this.
#pragma once

#include <string>
#include <vector>

namespace tessaly::analysis {

enum class Container { kUnknown, kCompoundFile, kZipPackage };

struct MacroCode {
    std::string where;   // e.g. "Macros/VBA/NewMacros" or "xl/macrosheets/sheet1.xml"
    std::string source;  // VBA source or XLM formulas as text
    bool isXlm = false;
    bool isWordBasic = false;  // Word 6.0/95 macros, as text recovered from their tokens
};

struct Findings {
    Container container = Container::kUnknown;
    bool damaged = false;            // something could not be read; what could be read was read
    bool overBudget = false;         // reading stopped when the work budget ran out
    bool encrypted = false;
    bool behindDefaultPassword = false;  // read by decrypting with Office's default password
    std::string reason;

    bool hasVbaStorage = false;      // a VBA project exists, whatever its contents
    bool vbaIncomplete = false;      // present but not fully readable, or code without source
    bool vbaHasCode = false;         // modules with more than the editor's boilerplate
    bool hasXlm = false;             // Excel 4.0 macro sheets
    bool xlmAutoOpen = false;
    std::vector<MacroCode> code;

    [[nodiscard]] bool hasMacros() const { return hasVbaStorage || hasXlm; }
};

}  // namespace tessaly::analysis
