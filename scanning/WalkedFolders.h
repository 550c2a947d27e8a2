// Loop check of the folder walk: every folder the walk enters is remembered by its identity on
// disk (volume and file index), so a junction or symbolic link that leads back to a folder already
// walked, directly or through other links, is not entered again. Links are still followed, so a
// document reached only through one is scanned.
#pragma once

#include <windows.h>

#include <compare>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace tessaly {

struct FolderIdentity {
    DWORD volume = 0;
    std::uint64_t index = 0;
    auto operator<=>(const FolderIdentity&) const = default;
};

// The identity of the folder at path (following links); empty when it cannot be opened.
std::optional<FolderIdentity> ReadFolderIdentity(const std::wstring& path);

class WalkedFolders {
public:
    void Clear() noexcept { m_seen.clear(); }
    // True the first time a folder is met. A folder whose identity cannot be read is entered
    // unless it is itself a link (such a folder cannot be shown not to lead back).
    bool FirstVisit(const std::wstring& path);

private:
    std::set<FolderIdentity> m_seen;
};

}  // namespace tessaly
