// The re-encrypted result is checked like every cleaned document: it must open again through the
// default password, read back strictly, hold no macros, and (Agile) carry a valid HMAC.
#include "CleanEncrypted.h"

#include "Cleaner.h"
#include "DefaultPassword.h"
#include "Inspection.h"

namespace tessaly::analysis {
namespace {

constexpr const char* kCannotKeepEncryption = "文档用 Office 默认密码加密，无法在保留加密的情况下安全清除宏，文件未改动";

bool RelockedSoundly(Bytes relocked) {
    auto file = cfb::CompoundFile::Open(relocked);
    if (!file) return false;
    auto unlocked = UnlockWithDefaultPassword(*file);
    if (!unlocked) return false;
    if (const auto* key = std::get_if<offcrypto::PackageKey>(&unlocked->key)) {
        auto package = file->ReadStream("EncryptedPackage");
        if (!package || !offcrypto::IntegrityHolds(*package, *key)) return false;
    }
    const Findings after = InspectDocument(relocked);
    return after.behindDefaultPassword && !after.damaged && !after.encrypted && !after.hasMacros();
}

}  // namespace

CleanOutcome CleanBehindDefaultPassword(Bytes document, const SignatureSet& signatures) {
    auto file = cfb::CompoundFile::Open(document);
    if (!file) return {kCleanDamaged, "damaged compound file", {}};
    auto unlocked = UnlockWithDefaultPassword(*file);
    if (!unlocked) return {kCleanEncrypted, "encrypted document", {}};
    CleanOutcome plain = CleanDocument(unlocked->plain, signatures);
    if (plain.code != kCleanRepaired) return plain;
    auto relocked = Relock(*file, *unlocked, plain.bytes);
    if (!relocked || !RelockedSoundly(*relocked)) return {kCleanFailed, kCannotKeepEncryption, {}};
    return {kCleanRepaired, std::move(plain.text), std::move(*relocked)};
}

}  // namespace tessaly::analysis
