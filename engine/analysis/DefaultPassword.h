// Documents encrypted with the password Office applies when the user gave none: Excel's
// "VelvetSweatshop" (every Excel format) and PowerPoint's "/01Hannes Ruescher/01". Such a document
// is decrypted in memory into the plain document it stands for, which the readers then inspect;
// the cleaner encrypts its cleaned plain document back the same way.
#pragma once

#include <optional>
#include <string_view>
#include <variant>

#include "Budget.h"
#include "ByteSink.h"
#include "Cfb.h"
#include "PackageCipher.h"
#include "WorkbookCipher.h"

namespace tessaly::analysis {

inline constexpr std::string_view kExcelDefaultPassword = "VelvetSweatshop";
inline constexpr std::string_view kPowerPointDefaultPassword = "/01Hannes Ruescher/01";

// Presentations are decrypted object by object; they are not encrypted again.
struct PresentationKey {};

struct UnlockedDocument {
    // A compound file for binary formats, a ZIP package for encrypted OOXML.
    ByteVec plain;
    std::variant<biff::WorkbookCipher, offcrypto::PackageKey, PresentationKey> key;
    std::string streamName;  // the workbook stream for binary workbooks
    // Parts the password did not open to the readers (an "encryption" stream holding more than
    // document properties): the document cannot be called clean.
    bool hiddenParts = false;
};

// `password` tried on whatever encryption the compound file carries; nullopt when none is
// understood, the password does not verify, or the decrypted document does not fit `budget`
// (the bytes decrypted and the plain document written count as decompressed bytes).
std::optional<UnlockedDocument> Unlock(const cfb::CompoundFile& file, std::string_view password, WorkBudget* budget = nullptr);
std::optional<UnlockedDocument> UnlockWithDefaultPassword(const cfb::CompoundFile& file, WorkBudget* budget = nullptr);

// `cleanedPlain` (the plain document after cleaning) encrypted again with the original's key and
// parameters into `out`, every stream the encryption does not cover taken from the cleaned
// document (binary formats) or the original (packages). False when that cannot be done soundly;
// `out` may then hold part of a file.
bool Relock(const cfb::CompoundFile& original, const UnlockedDocument& unlocked, Bytes cleanedPlain, ByteSink& out);

}  // namespace tessaly::analysis
