// Path and file operations. Callers create an instance where they need one; it keeps no state
// between calls apart from the shell request DeleteFolder fills.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>
#include <string>

namespace tessaly {

class ClsPathLib {
public:
    // (0) folder part without trailing "\", (1) last component.
    std::array<std::wstring, 2> SplitPath(const std::wstring& sPath);
    bool RenameFile(const std::wstring& srcPath, const std::wstring& desPath, bool OverWrite);
    bool DeleteFolder(const std::wstring& sDeleteFolder, bool Interface);
    bool IsFile(const std::wstring& PathStr);
    bool IsDir(const std::wstring& PathStr);
    bool DelFile(const std::wstring& sPath);
    std::wstring JoinPath(const std::wstring& sPath, const std::wstring& AppendPath);
    bool MyCopyFile(const std::wstring& srcPath, const std::wstring& destPath, bool OverWrite);
    // Low 32 bits of the size as a signed number (wraps at 2 GiB), -1 when the file cannot be opened.
    std::int32_t MyGetFileSize(const std::wstring& sPath);
    // The true size, -1 when the file cannot be opened; for callers that compare sizes.
    std::int64_t MyGetFileSize64(const std::wstring& sPath);
    // True when a character lies outside printable ASCII (32..126).
    bool PathHasUnicode(const std::wstring& sPath);

private:
    SHFILEOPSTRUCTW m_fileOp{};
    std::wstring m_fileOpSource;  // double-NUL-terminated list the shell request points into
};

}  // namespace tessaly
