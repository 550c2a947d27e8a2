// The plain document keeps everything the encryption did not cover byte for byte: for a workbook
// only the workbook stream changes (decrypted, FILEPASS gone); for a package the ZIP comes out of
// EncryptedPackage and the compound file around it is left behind.
#include "DefaultPassword.h"

#include "CfbCopy.h"
#include "EncryptedSummary.h"
#include "Inspection.h"
#include "PresentationCipher.h"

namespace tessaly::analysis {
namespace {

std::optional<std::string> WorkbookStreamName(const cfb::CompoundFile& file) {
    for (const char* name : {"Workbook", "Book"})
        if (auto index = file.Child(0, name); index && file.entries()[*index].type == cfb::EntryType::kStream)
            return file.entries()[*index].name;
    return std::nullopt;
}

// CryptoAPI may move streams into an encrypted "encryption" stream; property streams are harmless,
// anything else there is unread.
bool HasHiddenParts(const cfb::CompoundFile& file, const biff::WorkbookCipher& cipher) {
    auto index = file.Child(0, "encryption");
    if (!index) return false;
    auto stream = file.ReadStream(*index);
    if (!stream || !cipher.rc4) return true;
    auto entries = offcrypto::ListEncryptedSummary(*stream, *cipher.rc4);
    return !entries || !offcrypto::HoldsOnlyProperties(*entries);
}

std::optional<UnlockedDocument> UnlockWorkbook(const cfb::CompoundFile& file, const std::string& name, std::string_view password) {
    auto stream = file.ReadStream(*file.Child(0, name));
    if (!stream) return std::nullopt;
    auto cipher = biff::UnlockWorkbook(*stream, password);
    if (!cipher || !biff::DecryptWorkbookRecords(*stream, *cipher)) return std::nullopt;
    auto plainStream = biff::WithoutFilePass(*stream, *cipher);
    if (!plainStream) return std::nullopt;
    auto plain = cfb::RewriteWith(file, {{name, std::move(*plainStream)}});
    if (!plain) return std::nullopt;
    const bool hidden = HasHiddenParts(file, *cipher);
    return UnlockedDocument{std::move(*plain), std::move(*cipher), name, hidden};
}

std::optional<UnlockedDocument> UnlockPackage(const cfb::CompoundFile& file, std::string_view password) {
    auto info = file.ReadStream("EncryptionInfo");
    auto package = file.ReadStream("EncryptedPackage");
    if (!info || !package) return std::nullopt;
    auto key = offcrypto::UnlockPackage(*info, password);
    if (!key) return std::nullopt;
    auto plain = offcrypto::DecryptPackage(*package, *key);
    if (!plain) return std::nullopt;
    return UnlockedDocument{std::move(*plain), std::move(*key), {}};
}

std::optional<UnlockedDocument> UnlockPresentation(const cfb::CompoundFile& file, std::string_view password) {
    auto document = file.ReadStream("PowerPoint Document");
    auto user = file.ReadStream("Current User");
    if (!document || !user) return std::nullopt;
    auto plain = offcrypto::DecryptPresentation(*document, *user, password);
    if (!plain) return std::nullopt;
    const std::string documentName = file.entries()[*file.Child(0, "PowerPoint Document")].name;
    const std::string userName = file.entries()[*file.Child(0, "Current User")].name;
    std::map<std::string, std::optional<ByteVec>> replaced{{documentName, std::move(plain->document)}, {userName, std::move(plain->currentUser)}};
    // The encrypted document properties are left out rather than decrypted: they hold no macros.
    if (auto summary = file.Child(0, "EncryptedSummary")) replaced[file.entries()[*summary].name] = std::nullopt;
    auto bytes = cfb::RewriteWith(file, replaced);
    if (!bytes) return std::nullopt;
    return UnlockedDocument{std::move(*bytes), PresentationKey{}, {}};
}

std::optional<ByteVec> RelockWorkbook(const biff::WorkbookCipher& cipher, const std::string& name, Bytes cleanedPlain) {
    auto cleaned = cfb::CompoundFile::Open(cleanedPlain);
    if (!cleaned) return std::nullopt;
    auto index = cleaned->Child(0, name);
    auto stream = index ? cleaned->ReadStream(*index) : std::nullopt;
    if (!stream) return std::nullopt;
    auto encrypted = biff::ReEncryptWorkbook(*stream, cipher);
    if (!encrypted) return std::nullopt;
    return cfb::RewriteWith(*cleaned, {{cleaned->entries()[*index].name, std::move(*encrypted)}});
}

std::optional<ByteVec> RelockPackage(const cfb::CompoundFile& original, const offcrypto::PackageKey& key, Bytes cleanedPlain) {
    auto packageIndex = original.Child(0, "EncryptedPackage");
    auto infoIndex = original.Child(0, "EncryptionInfo");
    if (!packageIndex || !infoIndex) return std::nullopt;
    ByteVec package = offcrypto::EncryptPackage(cleanedPlain, key);
    auto info = offcrypto::EncryptionInfoFor(package, key);
    if (!info) return std::nullopt;
    std::map<std::string, std::optional<ByteVec>> replaced{{original.entries()[*packageIndex].name, std::move(package)}};
    if (!info->empty()) replaced[original.entries()[*infoIndex].name] = std::move(*info);
    return cfb::RewriteWith(original, replaced);
}

}  // namespace

std::optional<UnlockedDocument> Unlock(const cfb::CompoundFile& file, std::string_view password) {
    if (file.Child(0, "EncryptionInfo") && file.Child(0, "EncryptedPackage")) return UnlockPackage(file, password);
    if (file.Child(0, "PowerPoint Document")) return UnlockPresentation(file, password);
    if (auto name = WorkbookStreamName(file)) return UnlockWorkbook(file, *name, password);
    return std::nullopt;
}

std::optional<UnlockedDocument> UnlockWithDefaultPassword(const cfb::CompoundFile& file) {
    // Each password belongs to one program, so one key derivation is spent per document.
    return Unlock(file, file.Child(0, "PowerPoint Document") ? kPowerPointDefaultPassword : kExcelDefaultPassword);
}

std::optional<ByteVec> Relock(const cfb::CompoundFile& original, const UnlockedDocument& unlocked, Bytes cleanedPlain) {
    if (const auto* cipher = std::get_if<biff::WorkbookCipher>(&unlocked.key))
        return RelockWorkbook(*cipher, unlocked.streamName, cleanedPlain);
    if (const auto* key = std::get_if<offcrypto::PackageKey>(&unlocked.key)) return RelockPackage(original, *key, cleanedPlain);
    return std::nullopt;
}

void InspectBehindDefaultPassword(const cfb::CompoundFile& file, Findings& findings) {
    auto unlocked = UnlockWithDefaultPassword(file);
    if (!unlocked) return;
    Findings inner = InspectDocument(unlocked->plain);
    // A plain document that is still encrypted (a second layer) stays what it was.
    if (inner.encrypted) return;
    inner.behindDefaultPassword = true;
    if (unlocked->hiddenParts) {
        inner.encrypted = true;
        inner.reason = "parts still encrypted";
    }
    findings = std::move(inner);
}

}  // namespace tessaly::analysis
