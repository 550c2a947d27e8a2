// Path and file operations through the wide file and shell functions.
#include "ClsPathLib.h"

#include "FaultLog.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace tessaly {
namespace {

// The shell takes lists of paths ended by two NULs.
std::wstring ShellPathList(const std::wstring& path) { return path + L'\0' + L'\0'; }

}  // namespace

std::array<std::wstring, 2> ClsPathLib::SplitPath(const std::wstring& sPath) {
    const size_t slash = sPath.find_last_of(L'\\');
    if (slash == std::wstring::npos) return {std::wstring(), sPath};
    return {sPath.substr(0, slash), sPath.substr(slash + 1)};
}

bool ClsPathLib::RenameFile(const std::wstring& srcPath, const std::wstring& desPath, bool OverWrite) {
    try {
        if (IsFile(desPath)) {
            if (!OverWrite) return false;
            ::DeleteFileW(desPath.c_str());
        }
        if (SplitPath(srcPath)[0] == SplitPath(desPath)[0]) {
            const std::wstring from = ShellPathList(srcPath);
            const std::wstring to = ShellPathList(desPath);
            SHFILEOPSTRUCTW op{};
            op.wFunc = FO_RENAME;
            op.pFrom = from.c_str();
            op.pTo = to.c_str();
            op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
            return ::SHFileOperationW(&op) == 0;
        }
        return ::MoveFileExW(srcPath.c_str(), desPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) !=
               FALSE;
    } catch (...) {
        LogCaughtFault(L"ClsPathLib::RenameFile");
        return false;
    }
}

bool ClsPathLib::DeleteFolder(const std::wstring& sDeleteFolder, bool Interface) {
    try {
        std::wstring folder = sDeleteFolder;
        if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
        if (!IsDir(folder)) return false;
        ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
        m_fileOpSource = ShellPathList(folder);
        m_fileOp = SHFILEOPSTRUCTW{};
        m_fileOp.hwnd = nullptr;
        m_fileOp.wFunc = FO_DELETE;
        m_fileOp.pFrom = m_fileOpSource.c_str();
        // Never to the recycle bin. Without the interface no error box may block the caller either.
        m_fileOp.fFlags = Interface ? 0 : (FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT);
        return ::SHFileOperationW(&m_fileOp) == 0;
    } catch (...) {
        LogCaughtFault(L"ClsPathLib::DeleteFolder");
        return false;
    }
}

bool ClsPathLib::IsFile(const std::wstring& PathStr) {
    const DWORD attributes = ::GetFileAttributesW(PathStr.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    return DirLookup(PathStr, kLookupHidden);
}

bool ClsPathLib::IsDir(const std::wstring& PathStr) {
    if (PathStr.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(PathStr.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ClsPathLib::DelFile(const std::wstring& sPath) {
    return IsFile(sPath) && ::DeleteFileW(sPath.c_str()) != FALSE;
}

std::wstring ClsPathLib::JoinPath(const std::wstring& sPath, const std::wstring& AppendPath) {
    if (!sPath.empty() && sPath.back() == L'\\') return sPath + AppendPath;
    return sPath + L"\\" + AppendPath;
}

bool ClsPathLib::MyCopyFile(const std::wstring& srcPath, const std::wstring& destPath, bool OverWrite) {
    try {
        if (OverWrite) DelFile(destPath);
        return ::CopyFileW(srcPath.c_str(), destPath.c_str(), OverWrite ? FALSE : TRUE) != FALSE;
    } catch (...) {
        LogCaughtFault(L"ClsPathLib::MyCopyFile");
        return false;
    }
}

std::int32_t ClsPathLib::MyGetFileSize(const std::wstring& sPath) {
    const std::int64_t size = MyGetFileSize64(sPath);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(size) & 0xFFFFFFFFu));
}

std::int64_t ClsPathLib::MyGetFileSize64(const std::wstring& sPath) {
    unique_file file(::CreateFileW(sPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (!file) return -1;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return -1;
    return size.QuadPart;
}

bool ClsPathLib::PathHasUnicode(const std::wstring& sPath) {
    for (wchar_t c : sPath)
        if (c < 32 || c > 126) return true;
    return false;
}

}  // namespace tessaly
