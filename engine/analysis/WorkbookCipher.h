// The encryption of a BIFF8 workbook stream as its FILEPASS record describes it (XOR obfuscation,
// Office binary RC4 or CryptoAPI RC4), unlocked with a password, and the transformation of the
// stream's records both ways. The stream keeps its length and layout: only record data changes.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "BiffStreamEdit.h"
#include "Rc4Keys.h"

namespace tessaly::analysis::biff {

enum class WorkbookCipherKind { kXor, kRc4, kCryptoApi };

struct WorkbookCipher {
    WorkbookCipherKind kind = WorkbookCipherKind::kRc4;
    ByteVec filePassRecord;                // header and data, as stored
    std::size_t filePassOffset = 0;
    std::vector<std::uint16_t> idsBefore;   // the records before FILEPASS (BOF, WRITEPROT...)
    std::optional<offcrypto::Rc4Keys> rc4;  // RC4 kinds
    std::array<std::uint8_t, 16> xorArray{};
    bool summaryEncrypted = false;          // CryptoAPI with the properties in an "encryption" stream
};

// False when a FILEPASS record's data is longer than its kind allows (Excel refuses such a file);
// a kind that is not understood is given the benefit of the doubt.
bool FilePassFitsItsKind(Bytes filePassData, bool biff5);

// The FILEPASS of `stream` and keys for `password`; nullopt when there is no FILEPASS, it is not
// understood, or the password does not verify.
std::optional<WorkbookCipher> UnlockWorkbook(Bytes stream, std::string_view password);

// In place; records the format leaves in clear (BOF, FILEPASS, the sheet offset of BOUNDSHEET...)
// stay as they are. False when the stream's records cannot be walked.
bool DecryptWorkbookRecords(std::span<std::uint8_t> stream, const WorkbookCipher& cipher);
bool EncryptWorkbookRecords(std::span<std::uint8_t> stream, const WorkbookCipher& cipher);

// A decrypted stream without its FILEPASS record (positions moved), as a plain workbook; and the
// way back: FILEPASS put again after the same leading records, then encrypted.
std::optional<ByteVec> WithoutFilePass(Bytes decrypted, const WorkbookCipher& cipher);
std::optional<ByteVec> ReEncryptWorkbook(Bytes plain, const WorkbookCipher& cipher);

}  // namespace tessaly::analysis::biff
