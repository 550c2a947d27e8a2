// The walk's filters; every check reads as little of the file as it can (a length and 5 bytes).
#include "ScanPageFilters.h"

#include <windows.h>

#include <array>

#include "ClsPathLib.h"
#include "TextConvert.h"
#include "UniqueHandle.h"

namespace tessaly {

namespace {

bool IsNotFoundError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_FILENAME_EXCED_RANGE || error == ERROR_BAD_NETPATH;
}

std::wstring RemoveNuls(std::wstring text) {
    std::erase(text, L'\0');
    return text;
}

}  // namespace

bool IsSkippedFolder(const std::wstring& path) {
    return path.find(L":\\RECYCLER\\") != std::wstring::npos ||
           path.find(L":\\System Volume Information\\") != std::wstring::npos ||
           path.find(L":\\$RECYCLE.BIN\\") != std::wstring::npos;
}

bool GetShortPathIfLong(const std::wstring& path, std::wstring& shortPath) {
    shortPath.clear();
    if (path.size() <= kScanLongPathLimit) {
        shortPath = path;
        return true;
    }
    std::array<wchar_t, 260> buffer{};
    const DWORD length = ::GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) return false;
    shortPath = RemoveNuls(std::wstring(buffer.data(), length));
    return true;
}

std::wstring ScanPathDisplayText(const std::wstring& path) {
    if (path.size() <= kScanPathDisplayLimit) return path;
    return path.substr(0, 25) + L"..." + path.substr(path.size() - 30);
}

int ScanDocumentType(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    const std::wstring name = ToLowerText(slash == std::wstring::npos ? path : path.substr(slash + 1));
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return -1;
    const std::wstring ext = name.substr(dot);
    if (ext == L".doc" || ext == L".xls" || ext == L".xlm") return 1;
    if (ext == L".docm" || ext == L".dotm" || ext == L".docx" || ext == L".xlsm" || ext == L".xlam" ||
        ext == L".xlsx")
        return 2;
    return 0;
}

bool IsScanSizeInRange(std::int64_t size) { return size >= kScanMinFileSize && size <= kScanMaxFileSize; }

bool HasDocumentHeader(const unsigned char* bytes, std::size_t count) {
    if (bytes == nullptr || count < 4) return false;
    static constexpr unsigned char kOle2[4] = {0xD0, 0xCF, 0x11, 0xE0};
    static constexpr unsigned char kZip[4] = {0x50, 0x4B, 0x03, 0x04};
    return std::equal(bytes, bytes + 4, kOle2) || std::equal(bytes, bytes + 4, kZip);
}

bool IsListedNormalFile(const ListedFile& listed) {
    return (listed.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

ScanFileVerdict CheckScanCandidate(const std::wstring& path, bool checkExt, const ListedFile* listed) {
    const int type = ScanDocumentType(path);
    if (type < 0) return ScanFileVerdict::Skip;
    if (checkExt && type == 0) return ScanFileVerdict::Skip;
    std::int64_t size = -1;
    if (listed != nullptr && (listed->attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        size = listed->size;
    } else {
        size = ClsPathLib().MyGetFileSize64(path);
        if (size < 0) return IsNotFoundError(::GetLastError()) ? ScanFileVerdict::NotFound : ScanFileVerdict::Skip;
    }
    if (!IsScanSizeInRange(size)) return ScanFileVerdict::Skip;
    if (type == 2) return ScanFileVerdict::Send;
    unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return IsNotFoundError(::GetLastError()) ? ScanFileVerdict::NotFound : ScanFileVerdict::Skip;
    unsigned char header[5]{};
    DWORD read = 0;
    if (!::ReadFile(file.get(), header, sizeof header, &read, nullptr)) return ScanFileVerdict::Skip;
    return HasDocumentHeader(header, read) ? ScanFileVerdict::Send : ScanFileVerdict::Skip;
}

}  // namespace tessaly
