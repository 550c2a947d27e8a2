// Behaviour heuristics over the normalised macro code of a document: code that starts itself and
// does what macro viruses do gets a heuristic name; other macros get none.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::analysis {

struct NormalisedCode {
    std::string text;
    bool isXlm = false;
    bool isWordBasic = false;
    std::string module;  // lower case name of a VBA module, as its code calls it
};

// The code that runs by itself when the document opens or closes: the VBA procedures reached from
// an auto-start procedure, and the Excel 4.0 macros of a workbook with an auto-open name.
struct SelfStartingCode {
    std::vector<std::string_view> vbaProcedures;  // views into the NormalisedCode texts
    bool xlm = false;
    [[nodiscard]] bool any() const { return !vbaProcedures.empty() || xlm; }
};

SelfStartingCode FindSelfStartingCode(const std::vector<NormalisedCode>& code, bool xlmAutoOpenName);

// "Heur.Macro.Replicator", "Heur.Macro.Downloader", "Heur.Macro.Dropper", "Heur.XLM.Downloader"...
std::optional<std::string> HeuristicName(const std::vector<NormalisedCode>& code, const SelfStartingCode& selfStarting);

}  // namespace tessaly::analysis
