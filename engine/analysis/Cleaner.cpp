// Cleaning is only offered as done when the rebuilt document passes the strict readers, the
// analysis finds no macros in it, and (for compound files) every stream we did not mean to change
// is byte-identical to the original.
#include "Cleaner.h"

#include <algorithm>
#include <functional>

#include "CleanCompound.h"
#include "CleanEncrypted.h"
#include "CleanPackage.h"
#include "CleanRefusals.h"
#include "Decision.h"
#include "Inspection.h"
#include "Zip.h"

namespace tessaly::analysis {
namespace {

std::string RemovedName(const Verdict& before) {
    return before.code == kScanInfected ? before.text : std::string("macros");
}

bool StreamsPreserved(const cfb::CompoundFile& before, const cfb::CompoundFile& after,
                      const std::vector<std::string>& changed, std::string& mismatch) {
    std::function<bool(std::uint32_t, const std::string&)> walk = [&](std::uint32_t storage, const std::string& path) {
        for (std::uint32_t c : after.entries()[storage].children) {
            const cfb::Entry& e = after.entries()[c];
            const std::string p = path.empty() ? e.name : path + "/" + e.name;
            if (e.type == cfb::EntryType::kStorage) {
                if (!walk(c, p)) return false;
                continue;
            }
            if (std::find(changed.begin(), changed.end(), p) != changed.end()) continue;
            const auto original = before.Find(p);
            const auto a = original ? before.OpenStream(*original) : std::nullopt;
            const auto b = after.OpenStream(c);
            if (!a || !b || !a->complete() || !b->complete() || !SameBytes(*a, *b)) {
                mismatch = p;
                return false;
            }
        }
        return true;
    };
    return walk(0, "");
}

CleanOutcome Verify(Bytes cleaned, const std::string& name) {
    const Findings after = InspectDocument(cleaned);
    if (after.damaged || after.encrypted || after.overBudget) return {kCleanFailed, "cleaned document did not read back", {}};
    if (after.hasMacros()) return {kCleanFailed, "macros remained after cleaning", {}};
    return {kCleanRepaired, name, {}};
}

CleanOutcome CleanCompound(Bytes document, const std::string& name, ByteSink& out) {
    WorkBudget budget = WorkBudget::ForDocument(document.size());
    auto file = cfb::CompoundFile::Open(document, nullptr, &budget);
    if (!file) return {kCleanDamaged, "damaged compound file", {}};
    RebuildResult rebuilt = RebuildWithoutMacros(*file, out);
    if (!rebuilt.failure.empty()) return {kCleanFailed, rebuilt.failure, {}};
    const Bytes written = out.Written();
    WorkBudget afterBudget = WorkBudget::ForDocument(written.size());
    auto after = cfb::CompoundFile::Open(written, nullptr, &afterBudget);
    std::string mismatch;
    if (!after || !after->damage().empty() || !after->repairs().empty())
        return {kCleanFailed, "cleaned document did not read back", {}};
    if (!StreamsPreserved(*file, *after, rebuilt.changedStreams, mismatch))
        return {kCleanFailed, "stream changed while cleaning: " + mismatch, {}};
    return Verify(written, name);
}

CleanOutcome CleanPackage(Bytes document, const std::string& name, ByteSink& out) {
    WorkBudget budget = WorkBudget::ForDocument(document.size());
    auto archive = zip::Archive::Open(document, nullptr, &budget);
    if (!archive) return {kCleanDamaged, "damaged package", {}};
    PackageRebuild rebuilt = RebuildPackageWithoutMacros(document, *archive, out);
    if (!rebuilt.failure.empty()) return {kCleanFailed, rebuilt.failure, {}};
    return Verify(out.Written(), name);
}

}  // namespace

CleanOutcome CleanDocument(Bytes document, const SignatureSet& signatures, ByteSink& out) {
    const Findings f = InspectDocument(document);
    if (f.encrypted) return {kCleanEncrypted, "encrypted document", {}};
    if (f.damaged) return {kCleanDamaged, f.reason, {}};
    if (f.overBudget) return {kCleanDamaged, "document too costly to read", {}};
    if (!f.hasMacros()) return {kCleanNothingToDo, "no macros", {}};
    // The plain document behind the password is cleaned, then encrypted again.
    if (f.behindDefaultPassword) return CleanBehindDefaultPassword(document, signatures, out);
    // Old single-stream formats and web pages have no container to rebuild without the macros.
    if (f.container == Container::kUnknown) return {kCleanFailed, std::string(refusals::kNoContainer), {}};
    const Verdict before = Decide(f, signatures);
    if (f.container == Container::kZipPackage) return CleanPackage(document, RemovedName(before), out);
    return CleanCompound(document, RemovedName(before), out);
}

}  // namespace tessaly::analysis
