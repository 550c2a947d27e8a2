// The procedures of normalised VBA source (lower case, one line, comments gone), and the ones a
// document's auto-start procedures reach through the names they call. A behaviour counts against
// code only when code that starts itself can get to it: a large library whose Workbook_Open only
// refreshes a list is no downloader because another of its procedures fetches a web page.
#pragma once

#include <string_view>
#include <vector>

namespace tessaly::analysis {

struct Procedure {
    std::string_view name;
    std::string_view text;  // from its Sub/Function/Property line to its End line
};

std::vector<Procedure> SplitProcedures(std::string_view normalised);

// True for the names Office runs by itself: AutoOpen, Document_Open, Workbook_Open and the like.
bool IsAutoStartName(std::string_view name);

struct ModuleText {
    std::string_view name;  // lower case, as the code names the module ("module1")
    std::string_view text;  // normalised source
};

// The auto-start procedures of all modules and every procedure they call, directly or through
// others: by a bare name (a name used anywhere in a reached procedure, a string naming a macro to
// run included) or qualified with a module's name ("Module1.Payload"). A member of any other
// object ("x.Create") is a call into a class and is not followed. Each procedure once.
std::vector<Procedure> ReachedFromAutoStart(const std::vector<ModuleText>& modules);

}  // namespace tessaly::analysis
