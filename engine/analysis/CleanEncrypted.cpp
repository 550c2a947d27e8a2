// The re-encrypted result is checked like every cleaned document: it must open again through the
// default password, read back strictly, hold no macros, and (Agile) carry a valid HMAC. The plain
// document and its cleaned form live in memory (decryption made them there); only the
// re-encrypted document goes to the sink.
#include "CleanEncrypted.h"

#include "CleanRefusals.h"
#include "Cleaner.h"
#include "DefaultPassword.h"
#include "Inspection.h"

namespace tessaly::analysis {
namespace {

// The re-encrypted document uses the original's key; that it opens through the default password
// at all is what the final inspection says.
bool RelockedSoundly(Bytes relocked, const UnlockedDocument& original) {
    WorkBudget budget = WorkBudget::ForDocument(relocked.size());
    auto file = cfb::CompoundFile::Open(relocked, nullptr, &budget);
    if (!file || !file->damage().empty() || !file->repairs().empty()) return false;
    if (const auto* key = std::get_if<offcrypto::PackageKey>(&original.key)) {
        const auto index = file->Child(0, "EncryptedPackage");
        const auto package = index ? file->OpenStream(*index) : std::nullopt;
        const auto info = file->ReadStream("EncryptionInfo");
        if (!package || !package->complete() || !info || !offcrypto::IntegrityHolds(*package, *info, *key)) return false;
    }
    const Findings after = InspectDocument(relocked);
    return after.behindDefaultPassword && !after.damaged && !after.overBudget && !after.encrypted && !after.hasMacros();
}

}  // namespace

CleanOutcome CleanBehindDefaultPassword(Bytes document, const SignatureSet& signatures, ByteSink& out) {
    WorkBudget budget = WorkBudget::ForDocument(document.size());
    auto file = cfb::CompoundFile::Open(document, nullptr, &budget);
    if (!file) return {kCleanDamaged, "damaged compound file", {}};
    auto unlocked = UnlockWithDefaultPassword(*file, &budget);
    if (!unlocked) return {kCleanEncrypted, "encrypted document", {}};
    // A presentation would need every persist object encrypted again: not offered.
    if (std::holds_alternative<PresentationKey>(unlocked->key)) return {kCleanFailed, std::string(refusals::kCannotKeepEncryption), {}};
    MemorySink cleanedPlain;
    CleanOutcome plain = CleanDocument(unlocked->plain, signatures, cleanedPlain);
    if (plain.code != kCleanRepaired) return plain;
    if (!Relock(*file, *unlocked, cleanedPlain.Written(), out) || !RelockedSoundly(out.Written(), *unlocked))
        return {kCleanFailed, std::string(refusals::kCannotKeepEncryption), {}};
    return {kCleanRepaired, std::move(plain.text), {}};
}

}  // namespace tessaly::analysis
