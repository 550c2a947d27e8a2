// The edits and persist directories are read with the presentation reader (they are never
// encrypted); every directory of every edit is decrypted against, so old versions of an object are
// decrypted too. A persist object's length is in its own header, which is encrypted with it: the
// header is decrypted first, then the rest with the same key stream. Objects of a sound stream do
// not overlap, so more object bytes than the stream holds is a crafted file, not decrypted.
#include "PresentationCipher.h"

#include <set>

#include "EncryptionHeader.h"
#include "Ppt.h"
#include "Rc4Keys.h"

namespace tessaly::analysis::offcrypto {

std::optional<PlainPresentation> DecryptPresentation(Bytes document, Bytes currentUser, std::string_view password) {
    const auto currentEdit = ppt::CurrentUserSaysEncrypted(currentUser) ? ppt::CurrentEditOffset(currentUser) : std::nullopt;
    const auto persist = currentEdit ? ppt::ReadPersistDirectory(document, *currentEdit) : std::nullopt;
    if (!persist || persist->edits.empty()) return std::nullopt;
    const std::uint32_t sessionId = persist->edits.front().encryptSessionPersistIdRef;
    const auto sessionAt = persist->live.find(sessionId);
    if (sessionId == 0 || sessionAt == persist->live.end()) return std::nullopt;
    const auto session = ppt::ReadHeader(document, sessionAt->second);
    if (!session || session->type != ppt::kCryptSession10Container) return std::nullopt;
    const auto info = ReadCryptoApiHeader(document.subspan(sessionAt->second + ppt::kHeaderSize, session->length));
    const auto keys = info ? Rc4Keys::ForCryptoApi(*info, password) : std::nullopt;
    if (!keys) return std::nullopt;

    std::set<std::pair<std::uint32_t, std::uint32_t>> objects;  // persist id, offset
    for (const ppt::UserEdit& edit : persist->edits)
        for (const auto& [id, offset] : edit.directory) objects.insert({id, offset});
    PlainPresentation plain{ByteVec(document.begin(), document.end()), ByteVec(currentUser.begin(), currentUser.end())};
    std::span<std::uint8_t> stream(plain.document);
    std::set<std::uint32_t> done;
    std::uint64_t decrypted = 0;
    for (const auto& [id, offset] : objects) {
        if (offset == sessionAt->second || !done.insert(offset).second) continue;
        if (offset > stream.size() || stream.size() - offset < ppt::kHeaderSize) return std::nullopt;
        crypto::Rc4 cipher = keys->CipherFor(id);
        cipher.Apply(stream.subspan(offset, ppt::kHeaderSize));
        const auto header = ppt::ReadHeader(plain.document, offset);
        decrypted += ppt::kHeaderSize + (header ? header->length : 0);
        if (!header || decrypted > stream.size()) return std::nullopt;
        cipher.Apply(stream.subspan(offset + ppt::kHeaderSize, header->length));
    }
    SetField(plain.currentUser, ppt::currentuser::kHeaderToken, ppt::currentuser::kPlainHeaderToken);
    for (const ppt::UserEdit& edit : persist->edits)
        if (edit.encryptSessionPersistIdRef != 0) SetField(plain.document, ppt::useredit::kEncryptSessionRef, std::uint32_t{0}, edit.offset);
    return plain;
}

}  // namespace tessaly::analysis::offcrypto
