// The markers are statements and object names, not single words, so that ordinary macros that
// merely mention "Shell" in a string of help text do not trip them; comments are gone before this
// sees the code, a marker never matches the tail of a longer name ("loVBProject"), and only code
// that starts itself, or that such code calls, is looked at.
#include "Heuristics.h"

#include <algorithm>

#include "VbaProcedures.h"

namespace tessaly::analysis {
namespace {

using Markers = std::vector<std::string_view>;

// A behaviour is seen when every group has a marker in the code; a behaviour that needs one
// procedure to do all of it looks at each procedure on its own.
struct Behaviour {
    std::string_view name;
    std::vector<Markers> groups;
    bool withinOneProcedure = false;
};

// Code that writes macro code, and the places outside its own project that a replicator writes
// to. Code that maintains its own project (imports its modules on open, rewrites a line of its
// own) is what add-ins and test workbooks do, and is no virus.
const Markers kWritesCode = {".insertlines", ".addfromstring", ".addfromfile", ".import ", ".import(", "organizercopy"};
const Markers kForeignProject = {"normaltemplate", "activedocument", "activeworkbook", "activepresentation",
                                 "documents(", "workbooks(", "templates(", "xlstart", "startuppath"};
// Fetching alone is what every web query does; a downloader also lands or starts what it fetched.
const Markers kFetches = {"urldownloadtofile", "msxml2.xmlhttp", "microsoft.xmlhttp", "winhttp.winhttprequest",
                          "msxml2.serverxmlhttp", "internetexplorer.application"};
const Markers kLandsOrRuns = {"urldownloadtofile", "adodb.stream", ".savetofile", "for binary", "wscript.shell",
                              "shell(", "shell \"", "shellexecute", "createprocess"};

const std::vector<Behaviour>& VbaBehaviours() {
    static const std::vector<Behaviour> kBehaviours = {
        {"Heur.Macro.Replicator", {kWritesCode, kForeignProject}, true},
        {"Heur.Macro.Replicator", {{"xlstart", "startuppath"}, {".saveas", ".savecopyas"}}, true},
        {"Heur.Macro.Downloader", {kFetches, kLandsOrRuns}},
        {"Heur.Macro.Runner",
         {{"wscript.shell", "shell(", "shell \"", "shellexecute", "createprocess", "powershell", "cmd.exe", "cmd /c",
           "win32_process", "mshta", "regsvr32", "rundll32"}}},
        {"Heur.Macro.StartupWriter",
         {{"\\start menu\\programs\\startup", "specialfolders(\"startup\")", "currentversion\\run", "\\startup\\"}}},
    };
    return kBehaviours;
}

const std::vector<Behaviour>& XlmBehaviours() {
    static const std::vector<Behaviour> kBehaviours = {
        {"Heur.XLM.Downloader", {{"urldownloadtofile", "urlmon"}}},
        {"Heur.XLM.Runner", {{"exec(", "shell32", "shellexecute", "rundll32", "powershell", "cmd"}}},
        {"Heur.XLM.Register", {{"register(", "call(", "kernel32"}}},
    };
    return kBehaviours;
}

bool IsNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; }

bool ContainsMarker(std::string_view text, std::string_view marker) {
    const bool nameStart = !marker.empty() && IsNameChar(marker.front());
    for (std::size_t at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + 1)) {
        if (!nameStart || at == 0 || !IsNameChar(text[at - 1])) return true;
    }
    return false;
}

bool AllGroups(const std::vector<std::string_view>& texts, const std::vector<Markers>& groups) {
    return std::all_of(groups.begin(), groups.end(), [&](const Markers& group) {
        return std::any_of(texts.begin(), texts.end(), [&](std::string_view text) {
            return std::any_of(group.begin(), group.end(), [&](std::string_view m) { return ContainsMarker(text, m); });
        });
    });
}

bool Shows(const std::vector<std::string_view>& texts, const Behaviour& b) {
    if (!b.withinOneProcedure) return AllGroups(texts, b.groups);
    return std::any_of(texts.begin(), texts.end(), [&](std::string_view t) { return AllGroups({t}, b.groups); });
}

}  // namespace

SelfStartingCode FindSelfStartingCode(const std::vector<NormalisedCode>& code, bool xlmAutoOpenName) {
    SelfStartingCode result;
    std::vector<ModuleText> modules;
    for (const NormalisedCode& c : code) {
        if (c.isXlm) result.xlm = result.xlm || xlmAutoOpenName;
        else if (!c.isWordBasic) modules.push_back({c.module, c.text});
    }
    for (const Procedure& p : ReachedFromAutoStart(modules)) result.vbaProcedures.push_back(p.text);
    return result;
}

std::optional<std::string> HeuristicName(const std::vector<NormalisedCode>& code, const SelfStartingCode& selfStarting) {
    for (const Behaviour& b : VbaBehaviours())
        if (!selfStarting.vbaProcedures.empty() && Shows(selfStarting.vbaProcedures, b)) return std::string(b.name);
    if (!selfStarting.xlm) return std::nullopt;
    std::vector<std::string_view> xlm;
    for (const NormalisedCode& c : code)
        if (c.isXlm) xlm.push_back(c.text);
    for (const Behaviour& b : XlmBehaviours())
        if (Shows(xlm, b)) return std::string(b.name);
    return std::nullopt;
}

}  // namespace tessaly::analysis
