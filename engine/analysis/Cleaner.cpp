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
            auto a = before.ReadStream(p);
            auto b = after.ReadStream(c);
            if (!a || !b || *a != *b) {
                mismatch = p;
                return false;
            }
        }
        return true;
    };
    return walk(0, "");
}

CleanOutcome Verify(const ByteVec& cleaned, const std::string& name) {
    const Findings after = InspectDocument(cleaned);
    if (after.damaged || after.encrypted) return {kCleanFailed, "cleaned document did not read back", {}};
    if (after.hasMacros()) return {kCleanFailed, "macros remained after cleaning", {}};
    return {kCleanRepaired, name, cleaned};
}

CleanOutcome CleanCompound(Bytes document, const std::string& name) {
    auto file = cfb::CompoundFile::Open(document);
    if (!file) return {kCleanDamaged, "damaged compound file", {}};
    RebuildResult rebuilt = RebuildWithoutMacros(*file);
    if (!rebuilt.bytes) return {kCleanFailed, rebuilt.failure, {}};
    auto after = cfb::CompoundFile::Open(*rebuilt.bytes);
    std::string mismatch;
    if (!after) return {kCleanFailed, "cleaned document did not read back", {}};
    if (!StreamsPreserved(*file, *after, rebuilt.changedStreams, mismatch))
        return {kCleanFailed, "stream changed while cleaning: " + mismatch, {}};
    return Verify(*rebuilt.bytes, name);
}

CleanOutcome CleanPackage(Bytes document, const std::string& name) {
    auto archive = zip::Archive::Open(document);
    if (!archive) return {kCleanDamaged, "damaged package", {}};
    PackageRebuild rebuilt = RebuildPackageWithoutMacros(document, *archive);
    if (!rebuilt.bytes) return {kCleanFailed, rebuilt.failure, {}};
    return Verify(*rebuilt.bytes, name);
}

}  // namespace

CleanOutcome CleanDocument(Bytes document, const SignatureSet& signatures) {
    const Findings f = InspectDocument(document);
    if (f.encrypted) return {kCleanEncrypted, "encrypted document", {}};
    if (f.behindDefaultPassword) return CleanBehindDefaultPassword(document, signatures);
    if (f.damaged) return {kCleanDamaged, f.reason, {}};
    if (!f.hasMacros()) return {kCleanNothingToDo, "no macros", {}};
    // Old single-stream formats and web pages have no container to rebuild without the macros.
    if (f.container == Container::kUnknown) return {kCleanFailed, std::string(refusals::kNoContainer), {}};
    const Verdict before = Decide(f, signatures);
    if (f.container == Container::kZipPackage) return CleanPackage(document, RemovedName(before));
    return CleanCompound(document, RemovedName(before));
}

}  // namespace tessaly::analysis
