// The per-file rules of the scan page's walk: which folders it leaves out, when a path needs its
// short form, and which files are worth an engine request (type, size and header filters). A file
// the walk met in its folder's listing is judged from that listing as far as it can be, so most
// files cost no more than one open and a read of their first bytes.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly {

inline constexpr std::int64_t kScanMinFileSize = 100;
inline constexpr std::int64_t kScanMaxFileSize = 419430400;  // 400 MiB
// Paths longer than this go to the engine in their 8.3 form.
inline constexpr std::size_t kScanLongPathLimit = 127;
// The progress line shows longer paths shortened.
inline constexpr std::size_t kScanPathDisplayLimit = 70;

// Recycle and volume-information folders: their subfolders are not walked (case-sensitive).
bool IsSkippedFolder(const std::wstring& path);
// shortPath = path for paths up to 127 characters; else the platform's short form (True) or
// empty (False when the platform's answer does not fit 260 characters).
bool GetShortPathIfLong(const std::wstring& path, std::wstring& shortPath);
// What lblScanPath shows: the path, or its first 25 characters, "..." and its last 30.
std::wstring ScanPathDisplayText(const std::wstring& path);

// 1 ".doc" ".xls" ".xlm"; 2 the Open XML documents; 0 any other extension; -1 no "." in the name.
int ScanDocumentType(const std::wstring& path);
bool IsScanSizeInRange(std::int64_t size);
// OLE2 compound file or ZIP local header in the first four bytes.
bool HasDocumentHeader(const unsigned char* bytes, std::size_t count);

enum class ScanFileVerdict {
    Skip,      // counted, not worth a request
    Send,      // goes to the engine
    NotFound,  // the file could not be opened by this name
};

// What a folder's listing tells of one of its entries.
struct ListedFile {
    unsigned long attributes = 0;
    std::int64_t size = 0;  // the true 64-bit size
};
// The directory lookup's verdict from the listing: a file that is neither hidden nor system.
bool IsListedNormalFile(const ListedFile& listed);

// Steps after the count: name, type, true 64-bit size and header. checkExt drops unlisted types.
// With a listing the size is taken from it, unless the entry is a link, whose own size says
// nothing of the file it leads to.
ScanFileVerdict CheckScanCandidate(const std::wstring& path, bool checkExt, const ListedFile* listed = nullptr);

}  // namespace tessaly
