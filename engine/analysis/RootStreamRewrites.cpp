// One entry per format; a format that has nothing to rewrite leaves the map empty.
#include "RootStreamRewrites.h"

#include "CleanRefusals.h"
#include "Ppt.h"
#include "PptClean.h"

namespace tessaly::analysis {
namespace {

void RewritePresentation(const cfb::CompoundFile& file, RootStreamRewrites& out) {
    const auto document = file.ReadStream(std::string(ppt::kDocumentStream));
    const auto currentUser = file.ReadStream(std::string(ppt::kCurrentUserStream));
    if (!document || !currentUser) {
        out.refusal = std::string(refusals::kPresentationUnreadable);
        return;
    }
    ppt::PresentationRewrite rewrite = ppt::WithoutVbaProject(*document, *currentUser);
    if (!rewrite.document) {
        out.refusal = rewrite.refusal;
        return;
    }
    out.streams[std::string(ppt::kDocumentStream)] = std::move(*rewrite.document);
    out.streams[std::string(ppt::kCurrentUserStream)] = std::move(*rewrite.currentUser);
}

}  // namespace

RootStreamRewrites RewriteMacroRecords(const cfb::CompoundFile& file) {
    RootStreamRewrites out;
    if (file.Child(0, ppt::kDocumentStream)) RewritePresentation(file, out);
    return out;
}

}  // namespace tessaly::analysis
