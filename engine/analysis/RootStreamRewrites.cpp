// One entry per format; a format that has nothing to rewrite leaves the map empty. Word 6.0/95
// documents without macros are rewritten too, to nothing different: the clean is only asked for
// when there are macros.
#include "RootStreamRewrites.h"

#include "CleanRefusals.h"
#include "Excel5Project.h"
#include "Ppt.h"
#include "PptClean.h"
#include "WordBasic.h"
#include "WordFib.h"

namespace tessaly::analysis {
namespace {

constexpr std::string_view kWordStream = "WordDocument";

void RewritePresentation(const cfb::CompoundFile& file, RootStreamRewrites& out) {
    const auto document = file.ReadStream(std::string(ppt::kDocumentStream));
    const auto currentUser = file.ReadStream(std::string(ppt::kCurrentUserStream));
    if (!document || !currentUser) {
        out.refusal = std::string(refusals::kPresentationUnreadable);
        return;
    }
    ppt::PresentationRewrite rewrite = ppt::WithoutVbaProject(*document, *currentUser, file.budget());
    if (!rewrite.document) {
        out.refusal = rewrite.refusal;
        return;
    }
    out.streams[std::string(ppt::kDocumentStream)] = std::move(*rewrite.document);
    out.streams[std::string(ppt::kCurrentUserStream)] = std::move(*rewrite.currentUser);
}

// Word 6.0/95 keeps its WordBasic macros inside the WordDocument stream.
void RewriteWordBasic(const cfb::CompoundFile& file, RootStreamRewrites& out) {
    const auto stream = file.ReadStream(std::string(kWordStream));
    if (!stream || !fib::ReadFib(*stream).word6) return;
    if (auto cleaned = wordbasic::WithoutMacros(*stream, out.refusal)) out.streams[std::string(kWordStream)] = std::move(*cleaned);
}

}  // namespace

RootStreamRewrites RewriteMacroRecords(const cfb::CompoundFile& file) {
    RootStreamRewrites out;
    if (excel5::HasModuleSheets(file)) {
        out.refusal = std::string(refusals::kExcel5ModuleSheets);
        return out;
    }
    if (file.Child(0, ppt::kDocumentStream)) RewritePresentation(file, out);
    if (out.refusal.empty() && file.Child(0, kWordStream)) RewriteWordBasic(file, out);
    return out;
}

}  // namespace tessaly::analysis
