// Folder links for the walk tests: a directory symbolic link where the system makes one, else
// (under Wine, whose symbolic-link calls do nothing) a Unix symbolic link made by /bin/ln inside
// the drive, which Wine shows as a folder with the reparse-point attribute.
#pragma once

#include <string>

namespace tessaly::test {

// False when no kind of link could be made here.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
// Removes the link only, never what it leads to.
void RemoveFolderLink(const std::wstring& link);

}  // namespace tessaly::test
