// The markers are statements and object names, not single words, so that ordinary macros that
// merely mention "Shell" in a comment or a string of help text do not trip them.
#include "Heuristics.h"

#include <algorithm>
#include <array>

namespace tessaly::analysis {
namespace {

constexpr std::array<std::string_view, 14> kAutoStart = {
    "sub autoopen", "sub auto_open", "sub autoexec", "sub autonew", "sub autoclose", "sub auto_close",
    "sub document_open", "sub document_close", "sub document_new", "sub workbook_open",
    "sub workbook_activate", "sub workbook_beforeclose", "sub auto_activate", "sub workbook_sheetactivate"};

struct Behaviour {
    std::string_view name;
    std::vector<std::string_view> markers;
};

const std::vector<Behaviour>& VbaBehaviours() {
    static const std::vector<Behaviour> kBehaviours = {
        {"Heur.Macro.Replicator",
         {"vbproject", "vbcomponents", "codemodule", "normaltemplate", "organizercopy", "xlstart",
          "startuppath", ".insertlines", ".addfromstring", ".addfromfile"}},
        {"Heur.Macro.Downloader",
         {"urldownloadtofile", "msxml2.xmlhttp", "microsoft.xmlhttp", "winhttp.winhttprequest", "msxml2.serverxmlhttp",
          "adodb.stream", "internetexplorer.application"}},
        {"Heur.Macro.Runner",
         {"wscript.shell", "shell(", "shell \"", "shellexecute", "createprocess", "powershell", "cmd.exe", "cmd /c",
          "win32_process", "mshta", "regsvr32", "rundll32"}},
        {"Heur.Macro.StartupWriter",
         {"\\start menu\\programs\\startup", "specialfolders(\"startup\")", "currentversion\\run",
          "\\startup\\"}},
    };
    return kBehaviours;
}

const std::vector<Behaviour>& XlmBehaviours() {
    static const std::vector<Behaviour> kBehaviours = {
        {"Heur.XLM.Downloader", {"urldownloadtofile", "urlmon"}},
        {"Heur.XLM.Runner", {"exec(", "shell32", "shellexecute", "rundll32", "powershell", "cmd"}},
        {"Heur.XLM.Register", {"register(", "call(", "kernel32"}},
    };
    return kBehaviours;
}

bool AnyMarker(const std::vector<NormalisedCode>& code, bool xlm, const std::vector<std::string_view>& markers) {
    return std::any_of(code.begin(), code.end(), [&](const NormalisedCode& c) {
        return c.isXlm == xlm && std::any_of(markers.begin(), markers.end(), [&](std::string_view m) {
                   return c.text.find(m) != std::string::npos;
               });
    });
}

}  // namespace

bool StartsItself(const std::vector<NormalisedCode>& code, bool xlmAutoOpenName) {
    for (const NormalisedCode& c : code) {
        if (c.isXlm) {
            if (xlmAutoOpenName) return true;
            continue;
        }
        for (std::string_view marker : kAutoStart) {
            // "private sub autoopen" and "public sub autoopen()" both contain the marker.
            std::size_t at = 0;
            while ((at = c.text.find(marker, at)) != std::string::npos) {
                const std::size_t after = at + marker.size();
                if (after >= c.text.size() || c.text[after] == '(' || c.text[after] == ' ') return true;
                at = after;
            }
        }
    }
    return false;
}

std::optional<std::string> HeuristicName(const std::vector<NormalisedCode>& code, bool xlmAutoOpenName) {
    if (!StartsItself(code, xlmAutoOpenName)) return std::nullopt;
    for (const Behaviour& b : VbaBehaviours())
        if (AnyMarker(code, false, b.markers)) return std::string(b.name);
    if (xlmAutoOpenName)
        for (const Behaviour& b : XlmBehaviours())
            if (AnyMarker(code, true, b.markers)) return std::string(b.name);
    return std::nullopt;
}

}  // namespace tessaly::analysis
