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
};

bool StartsItself(const std::vector<NormalisedCode>& code, bool xlmAutoOpenName);
// "Heur.Macro.Replicator", "Heur.Macro.Downloader", "Heur.Macro.Dropper", "Heur.XLM.Downloader"...
std::optional<std::string> HeuristicName(const std::vector<NormalisedCode>& code, bool xlmAutoOpenName);

}  // namespace tessaly::analysis
