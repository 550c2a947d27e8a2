// The VBA project is a compound file of its own (a root "VBA" storage and "PROJECT"), read like a
// vbaProject.bin; an embedded document is read like any other, and its macros are the
// presentation's too, since PowerPoint opens it on a click.
#include "PptInspection.h"

#include "Inspection.h"
#include "Limits.h"
#include "Ppt.h"

namespace tessaly::analysis {
namespace {

void Merge(Findings& into, Findings&& inner, const std::string& prefix) {
    into.hasVbaStorage = into.hasVbaStorage || inner.hasVbaStorage;
    into.vbaIncomplete = into.vbaIncomplete || inner.vbaIncomplete;
    into.vbaHasCode = into.vbaHasCode || inner.vbaHasCode;
    into.hasXlm = into.hasXlm || inner.hasXlm;
    into.xlmAutoOpen = into.xlmAutoOpen || inner.xlmAutoOpen;
    for (MacroCode& c : inner.code) {
        c.where = prefix + c.where;
        into.code.push_back(std::move(c));
    }
}

}  // namespace

void InspectPresentation(const cfb::CompoundFile& file, Findings& f, int nesting, WorkBudget* budget) {
    const ppt::Presentation presentation = ppt::ReadPresentation(file, budget);
    if (presentation.encrypted) {
        f.encrypted = true;
        if (f.reason.empty()) f.reason = "encrypted presentation";
        return;
    }
    for (const ppt::EmbeddedStorage& s : presentation.storages) {
        const std::string prefix = std::string(ppt::kDocumentStream) + "/" +
                                   (s.isVbaProject ? "VBA project" : "embedded object " + std::to_string(s.offset)) + "/";
        auto inner = s.storage ? cfb::CompoundFile::Open(*s.storage, nullptr, budget) : std::nullopt;
        if (!inner || nesting >= static_cast<int>(limits::kMaxNestedPackages)) {
            // An embedded object PowerPoint cannot open runs nothing; the project must be readable.
            if (s.isVbaProject) {
                f.hasVbaStorage = true;
                f.vbaIncomplete = true;
                if (f.reason.empty()) f.reason = "unreadable VBA project storage";
            }
            continue;
        }
        Findings found;
        InspectCompoundFile(*inner, found, nesting + 1, budget);
        if (s.isVbaProject && (found.damaged || !found.hasVbaStorage)) {
            found.hasVbaStorage = true;
            found.vbaIncomplete = true;
        }
        Merge(f, std::move(found), prefix);
    }
}

}  // namespace tessaly::analysis
