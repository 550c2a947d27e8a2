// Order matters: a virus found in what could be read is reported even when the rest of the
// document is encrypted or damaged (an encrypted workbook keeps its VBA project readable); macros
// seen in a damaged document make it suspected, not damaged; a document we could not read is
// never called clean; a signature name is preferred to a heuristic one because it tells the user
// what the virus is. A document behind Office's default password arrives here decrypted and is
// judged as the plain document it is: the password is public and Office opens it (and runs its
// macros) without asking.
#include "Decision.h"

#include "Heuristics.h"
#include "VbaText.h"

namespace tessaly::analysis {
namespace {

// "word/vbaProject.bin/VBA/Module1" -> "Module1"
std::string_view ModuleNameOf(std::string_view where) {
    const std::size_t slash = where.rfind('/');
    return slash == std::string_view::npos ? where : where.substr(slash + 1);
}

}  // namespace

Verdict Decide(const Findings& f, const SignatureSet& signatures) {
    std::vector<NormalisedCode> code;
    code.reserve(f.code.size());
    for (const MacroCode& c : f.code) {
        const bool vba = !c.isXlm && !c.isWordBasic;
        code.push_back({NormaliseSource(vba ? StripVbaComments(c.source) : c.source), c.isXlm, c.isWordBasic,
                        NormaliseSource(ModuleNameOf(c.where))});
    }
    for (const NormalisedCode& c : code) {
        const auto language = c.isXlm ? Signature::Target::kXlm
                              : c.isWordBasic ? Signature::Target::kWordBasic
                                              : Signature::Target::kVba;
        if (auto name = signatures.Match(c.text, language, false)) return {kScanInfected, *name};
    }
    // Descriptions of a behaviour ordinary macros share count only in code that runs by itself.
    const SelfStartingCode selfStarting = FindSelfStartingCode(code, f.xlmAutoOpen);
    std::string reached;
    for (std::string_view p : selfStarting.vbaProcedures) reached.append(p).push_back(' ');
    if (auto name = signatures.Match(reached, Signature::Target::kVba, true)) return {kScanInfected, *name};
    for (const NormalisedCode& c : code)
        if (c.isXlm && selfStarting.xlm)
            if (auto name = signatures.Match(c.text, Signature::Target::kXlm, true)) return {kScanInfected, *name};
    if (auto name = HeuristicName(code, selfStarting)) return {kScanInfected, *name};

    if (f.encrypted) return {kScanEncrypted, "encrypted document"};
    // Macros seen in a document that could not be read fully: damage must not hide them.
    if ((f.damaged || f.overBudget) && f.hasMacros())
        return {kScanSuspected, f.overBudget ? "macros in a document too costly to read fully" : "macros in a damaged document"};
    if (f.overBudget) return {kScanDamaged, "document too costly to read"};
    if (f.damaged) return {kScanDamaged, f.reason.empty() ? "damaged document" : f.reason};

    if (f.vbaIncomplete) return {kScanSuspected, "VBA project that cannot be read fully"};
    if (f.hasXlm) return {kScanSuspected, f.xlmAutoOpen ? "Excel 4.0 macros that start themselves" : "Excel 4.0 macros"};
    if (f.vbaHasCode) return {kScanSuspected, "macros"};
    // An empty project (only the attribute lines every module gets) is no reason to alarm anyone.
    if (f.hasVbaStorage) return {kScanClean, "empty VBA project"};
    return {kScanClean, ""};
}

}  // namespace tessaly::analysis
