// Folder identities for the walk's loop check; see WalkedFolders.h.
#include "WalkedFolders.h"

#include "UniqueHandle.h"

namespace tessaly {

std::optional<FolderIdentity> ReadFolderIdentity(const std::wstring& path) {
    // Backup semantics opens a folder; without FILE_FLAG_OPEN_REPARSE_POINT the link is followed.
    unique_file folder(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(folder.get(), &info)) return std::nullopt;
    const std::uint64_t index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    // Some network file systems give every file the index 0: that is no identity at all.
    if (index == 0) return std::nullopt;
    return FolderIdentity{info.dwVolumeSerialNumber, index};
}

bool WalkedFolders::FirstVisit(const std::wstring& path) {
    const std::optional<FolderIdentity> identity = ReadFolderIdentity(path);
    if (!identity) {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    }
    return m_seen.insert(*identity).second;
}

}  // namespace tessaly
