// The plain document keeps everything the encryption did not cover byte for byte: for a workbook
// only the workbook stream changes (decrypted, FILEPASS gone); for a package the ZIP comes out of
// EncryptedPackage and the compound file around it is left behind. The plain document is written
// whole in memory, so it is charged to the budget before it is made.
#include "DefaultPassword.h"

#include "CfbCopy.h"
#include "EncryptedSummary.h"
#include "Ppt.h"
#include "PresentationCipher.h"

namespace tessaly::analysis {
namespace {

using Replacements = std::map<std::string, std::optional<ByteVec>>;

bool ChargeDecrypted(WorkBudget* budget, std::uint64_t bytes) { return !budget || budget->ChargeDecompressed(bytes); }

// The file with some root streams replaced, charged at the size of everything it copies.
std::optional<ByteVec> PlainCopy(const cfb::CompoundFile& file, const Replacements& replaced, WorkBudget* budget) {
    std::uint64_t bytes = 0;
    for (const cfb::Entry& e : file.entries())
        if (e.type == cfb::EntryType::kStream && e.reachable && !(e.parent == 0 && replaced.count(e.name))) bytes += e.size;
    for (const auto& [name, data] : replaced) bytes += data ? data->size() : 0;
    if (!ChargeDecrypted(budget, bytes)) return std::nullopt;
    return cfb::RewriteWith(file, replaced);
}

std::optional<std::uint32_t> WorkbookStream(const cfb::CompoundFile& file) {
    for (const char* name : {"Workbook", "Book"})
        if (auto index = file.Child(0, name); index && file.entries()[*index].type == cfb::EntryType::kStream) return index;
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

std::optional<UnlockedDocument> UnlockWorkbook(const cfb::CompoundFile& file, std::uint32_t index, std::string_view password,
                                               WorkBudget* budget) {
    auto stream = file.ReadStream(index);
    if (!stream) return std::nullopt;
    auto cipher = biff::UnlockWorkbook(*stream, password);
    if (!cipher || !ChargeDecrypted(budget, stream->size()) || !biff::DecryptWorkbookRecords(*stream, *cipher)) return std::nullopt;
    auto plainStream = biff::WithoutFilePass(*stream, *cipher);
    if (!plainStream) return std::nullopt;
    const std::string& name = file.entries()[index].name;
    auto plain = PlainCopy(file, {{name, std::move(*plainStream)}}, budget);
    if (!plain) return std::nullopt;
    const bool hidden = HasHiddenParts(file, *cipher);
    return UnlockedDocument{std::move(*plain), std::move(*cipher), name, hidden};
}

std::optional<UnlockedDocument> UnlockPackage(const cfb::CompoundFile& file, std::string_view password, WorkBudget* budget) {
    auto info = file.ReadStream("EncryptionInfo");
    const auto packageIndex = file.Child(0, "EncryptedPackage");
    const auto package = packageIndex ? file.OpenStream(*packageIndex) : std::nullopt;
    if (!info || !package || !package->complete()) return std::nullopt;
    auto key = offcrypto::UnlockPackage(*info, password);
    if (!key) return std::nullopt;
    auto plain = offcrypto::DecryptPackage(*package, *key, budget);
    if (!plain) return std::nullopt;
    return UnlockedDocument{std::move(*plain), std::move(*key), {}};
}

std::optional<UnlockedDocument> UnlockPresentation(const cfb::CompoundFile& file, std::string_view password, WorkBudget* budget) {
    const auto documentIndex = file.Child(0, ppt::kDocumentStream);
    const auto userIndex = file.Child(0, ppt::kCurrentUserStream);
    auto document = documentIndex ? file.ReadStream(*documentIndex) : std::nullopt;
    auto user = userIndex ? file.ReadStream(*userIndex) : std::nullopt;
    if (!document || !user || !ChargeDecrypted(budget, document->size())) return std::nullopt;
    auto plain = offcrypto::DecryptPresentation(*document, *user, password);
    if (!plain) return std::nullopt;
    Replacements replaced{{file.entries()[*documentIndex].name, std::move(plain->document)},
                          {file.entries()[*userIndex].name, std::move(plain->currentUser)}};
    // The encrypted document properties are left out rather than decrypted: they hold no macros.
    if (auto summary = file.Child(0, "EncryptedSummary")) replaced[file.entries()[*summary].name] = std::nullopt;
    auto bytes = PlainCopy(file, replaced, budget);
    if (!bytes) return std::nullopt;
    return UnlockedDocument{std::move(*bytes), PresentationKey{}, {}};
}

bool RelockWorkbook(const biff::WorkbookCipher& cipher, const std::string& name, Bytes cleanedPlain, ByteSink& out) {
    auto cleaned = cfb::CompoundFile::Open(cleanedPlain);
    auto index = cleaned ? cleaned->Child(0, name) : std::nullopt;
    auto stream = index ? cleaned->ReadStream(*index) : std::nullopt;
    if (!stream) return false;
    auto encrypted = biff::ReEncryptWorkbook(*stream, cipher);
    return encrypted && cfb::RewriteWith(*cleaned, {{cleaned->entries()[*index].name, std::move(*encrypted)}}, out);
}

bool RelockPackage(const cfb::CompoundFile& original, const offcrypto::PackageKey& key, Bytes cleanedPlain, ByteSink& out) {
    auto packageIndex = original.Child(0, "EncryptedPackage");
    auto infoIndex = original.Child(0, "EncryptionInfo");
    if (!packageIndex || !infoIndex) return false;
    ByteVec package = offcrypto::EncryptPackage(cleanedPlain, key);
    auto info = offcrypto::EncryptionInfoFor(package, key);
    if (!info) return false;
    Replacements replaced{{original.entries()[*packageIndex].name, std::move(package)}};
    if (!info->empty()) replaced[original.entries()[*infoIndex].name] = std::move(*info);
    return cfb::RewriteWith(original, replaced, out);
}

}  // namespace

std::optional<UnlockedDocument> Unlock(const cfb::CompoundFile& file, std::string_view password, WorkBudget* budget) {
    if (file.Child(0, "EncryptionInfo") && file.Child(0, "EncryptedPackage")) return UnlockPackage(file, password, budget);
    if (file.Child(0, ppt::kDocumentStream)) return UnlockPresentation(file, password, budget);
    if (auto index = WorkbookStream(file)) return UnlockWorkbook(file, *index, password, budget);
    return std::nullopt;
}

std::optional<UnlockedDocument> UnlockWithDefaultPassword(const cfb::CompoundFile& file, WorkBudget* budget) {
    // Each password belongs to one program, so one key derivation is spent per document.
    return Unlock(file, file.Child(0, ppt::kDocumentStream) ? kPowerPointDefaultPassword : kExcelDefaultPassword, budget);
}

bool Relock(const cfb::CompoundFile& original, const UnlockedDocument& unlocked, Bytes cleanedPlain, ByteSink& out) {
    if (const auto* cipher = std::get_if<biff::WorkbookCipher>(&unlocked.key))
        return RelockWorkbook(*cipher, unlocked.streamName, cleanedPlain, out);
    if (const auto* key = std::get_if<offcrypto::PackageKey>(&unlocked.key)) return RelockPackage(original, *key, cleanedPlain, out);
    return false;
}

}  // namespace tessaly::analysis
