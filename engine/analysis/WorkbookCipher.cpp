// RC4 kinds rekey every 1024 bytes of the stream, counted from its start; XOR obfuscation restarts
// its 16-byte array for each record at (data position + data size) mod 16. Record headers are
// never encrypted, nor are BOF, FILEPASS, USREXCL, FILELOCK, INTERFACEHDR, RRDINFO, RRDHEAD and
// the first four data bytes of BOUNDSHEET.
#include "WorkbookCipher.h"

#include "crypto/XorObfuscation.h"

namespace tessaly::analysis::biff {
namespace {

constexpr std::size_t kRc4BlockSize = 1024;

bool RecordInClear(std::uint16_t id) {
    switch (id) {
        case kBof:
        case kFilePass:
        case kUsrExcl:
        case kFileLock:
        case kInterfaceHdr:
        case kRrdInfo:
        case kRrdHead:
            return true;
        default:
            return false;
    }
}

// BOUNDSHEET keeps its substream position in clear, so a reader finds the sheets without the key.
std::size_t ClearBytes(std::uint16_t id) { return id == kBoundSheet ? boundsheet::kStreamPosition.end() : 0; }

// For each stream position, whether it carries encrypted data.
std::optional<std::vector<bool>> EncryptedMap(Bytes stream) {
    auto records = ListRecords(stream);
    if (!records) return std::nullopt;
    std::vector<bool> map(stream.size(), false);
    for (const RecordSpan& rec : *records) {
        if (RecordInClear(rec.id)) continue;
        for (std::size_t i = ClearBytes(rec.id); i < rec.size; ++i) map[rec.dataOffset() + i] = true;
    }
    return map;
}

bool TransformXor(std::span<std::uint8_t> stream, const WorkbookCipher& cipher, bool encrypt) {
    auto records = ListRecords(stream);
    if (!records) return false;
    for (const RecordSpan& rec : *records) {
        if (RecordInClear(rec.id)) continue;
        const std::size_t start = rec.dataOffset();
        const std::size_t first = (start + rec.size) % 16;
        for (std::size_t i = ClearBytes(rec.id); i < rec.size; ++i) {
            const std::uint8_t k = cipher.xorArray[(first + i) % 16];
            std::uint8_t& b = stream[start + i];
            b = encrypt ? crypto::XorEncryptByte(b, k) : crypto::XorDecryptByte(b, k);
        }
    }
    return true;
}

bool Transform(std::span<std::uint8_t> stream, const WorkbookCipher& cipher, bool encrypt) {
    if (cipher.kind == WorkbookCipherKind::kXor) return TransformXor(stream, cipher, encrypt);
    if (!cipher.rc4) return false;
    auto map = EncryptedMap(stream);
    if (!map) return false;
    offcrypto::ApplyBlockStream(*cipher.rc4, kRc4BlockSize, stream, [&](std::size_t p) { return (*map)[p]; });
    return true;
}

std::optional<WorkbookCipher> UnlockXor(ByteReader& r, Field<std::uint16_t> keyField, Field<std::uint16_t> verifierField,
                                        std::string_view password) {
    const std::uint16_t key = r.get(keyField);
    const std::uint16_t verifier = r.get(verifierField);
    if (!r.ok() || password.size() > 15 || crypto::XorKey(password) != key || crypto::XorPasswordVerifier(password) != verifier)
        return std::nullopt;
    WorkbookCipher cipher;
    cipher.kind = WorkbookCipherKind::kXor;
    cipher.xorArray = crypto::XorArray(password);
    return cipher;
}

std::optional<WorkbookCipher> UnlockFilePass(Bytes data, std::string_view password) {
    ByteReader r(data);
    if (data.size() == filepass::kBiff5Size) return UnlockXor(r, filepass::kBiff5XorKey, filepass::kBiff5XorVerifier, password);
    const std::uint16_t type = r.get(filepass::kEncryptionType);
    if (!r.ok()) return std::nullopt;
    if (type == filepass::kXor) return UnlockXor(r, filepass::kXorKey, filepass::kXorVerifier, password);
    if (type != filepass::kRc4) return std::nullopt;
    WorkbookCipher cipher;
    const Bytes info = data.subspan(filepass::kRc4InfoOffset);
    auto version = offcrypto::ReadVersion(info);
    if (!version) return std::nullopt;
    if (version->major == 1) {
        auto header = offcrypto::ReadRc4Header(info);
        if (!header) return std::nullopt;
        cipher.kind = WorkbookCipherKind::kRc4;
        cipher.rc4 = offcrypto::Rc4Keys::ForBinaryRc4(*header, password);
    } else {
        auto header = offcrypto::ReadCryptoApiHeader(info);
        if (!header) return std::nullopt;
        cipher.kind = WorkbookCipherKind::kCryptoApi;
        cipher.summaryEncrypted = (header->flags & offcrypto::kFlagDocProps) == 0;
        cipher.rc4 = offcrypto::Rc4Keys::ForCryptoApi(*header, password);
    }
    if (!cipher.rc4) return std::nullopt;
    return cipher;
}

}  // namespace

bool FilePassFitsItsKind(Bytes data, bool biff5) {
    if (biff5) return data.size() == filepass::kBiff5Size;
    const auto type = ReadField(data, filepass::kEncryptionType);
    if (type == filepass::kXor) return data.size() == filepass::kXorVerifier.end();
    if (type != filepass::kRc4) return true;
    const Bytes info = data.subspan(filepass::kRc4InfoOffset);
    const auto version = offcrypto::ReadVersion(info);
    if (!version) return true;
    if (version->major == 1) return info.size() == offcrypto::kRc4HeaderSize;
    const auto header = offcrypto::ReadCryptoApiHeader(info);
    return !header || info.size() == header->raw.size();
}

std::optional<WorkbookCipher> UnlockWorkbook(Bytes stream, std::string_view password) {
    auto records = ListRecords(stream);
    if (!records || records->size() < 2 || (*records)[0].id != kBof) return std::nullopt;
    // FILEPASS belongs to the globals substream, before its EOF.
    std::vector<std::uint16_t> before;
    for (const RecordSpan& rec : *records) {
        if (rec.id == kEof) break;
        if (rec.id != kFilePass) {
            before.push_back(rec.id);
            continue;
        }
        auto cipher = UnlockFilePass(stream.subspan(rec.dataOffset(), rec.size), password);
        if (!cipher) return std::nullopt;
        cipher->filePassOffset = rec.offset;
        cipher->idsBefore = std::move(before);
        cipher->filePassRecord.assign(stream.begin() + static_cast<std::ptrdiff_t>(rec.offset),
                                      stream.begin() + static_cast<std::ptrdiff_t>(rec.end()));
        return cipher;
    }
    return std::nullopt;
}

bool DecryptWorkbookRecords(std::span<std::uint8_t> stream, const WorkbookCipher& cipher) {
    return Transform(stream, cipher, false);
}

bool EncryptWorkbookRecords(std::span<std::uint8_t> stream, const WorkbookCipher& cipher) {
    return Transform(stream, cipher, true);
}

std::optional<ByteVec> WithoutFilePass(Bytes decrypted, const WorkbookCipher& cipher) {
    StreamEdit edit(decrypted);
    edit.Remove(cipher.filePassOffset, cipher.filePassRecord.size());
    return edit.Apply();
}

std::optional<ByteVec> ReEncryptWorkbook(Bytes plain, const WorkbookCipher& cipher) {
    auto records = ListRecords(plain);
    const std::size_t count = cipher.idsBefore.size();
    if (!records || count == 0 || records->size() < count) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i)
        if ((*records)[i].id != cipher.idsBefore[i]) return std::nullopt;
    StreamEdit edit(plain);
    edit.Insert((*records)[count - 1].end(), cipher.filePassRecord);
    auto out = edit.Apply();
    if (!out || !EncryptWorkbookRecords(*out, cipher)) return std::nullopt;
    return out;
}

}  // namespace tessaly::analysis::biff
