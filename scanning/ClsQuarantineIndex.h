// The quarantine index "Quarantine.dat": one record per line, "date::size::digest::path" in the
// system code page with CR LF, and the escaped path form that keeps paths the code page cannot
// hold. Reading and writing of the file itself; the locking lives with the store.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

struct QuarantineRecord {
    std::wstring QuarantineDate;   // mm-dd-yyyy
    std::int64_t SourceSize = 0;   // length of the document when stored (written as a decimal)
    std::wstring StoredHash;       // MD5 of the stored copy, also its file name
    std::wstring SourcePath;       // the document's full path, exactly as the caller gave it
};

namespace quarantine {

// Path texts and index lines.
//
// A line keeps the old format whenever its path survives the code page unchanged. A path that
// does not (a character outside code page 936, or text that would break the line: "::", control
// characters, trailing blanks) is written in escaped form:
//   - the size field gets one redundant leading zero ("048640", "00" for 0, "-05" for -5); readers
//     of the old format still read the same number, so the marker costs them nothing;
//   - in the path every such character, and every "%", becomes "%u" and four upper-case hex
//     digits of its UTF-16 unit (a character beyond U+FFFF gives two escapes).
// An old reader therefore sees a valid file name such as "C:\docs\%u00E9t%u00E9.doc" and restores
// to it; a new reader sees the marker and decodes the exact path. Lines without the marker are
// taken literally, so every file written the old way reads exactly as before.
bool PathNeedsEscape(std::wstring_view path);
std::wstring EscapePath(std::wstring_view path);
// Lenient: a "%" that does not start a complete escape stays as it is.
std::wstring UnescapePath(std::wstring_view text);

// The line of a record, without CR LF.
std::wstring FormatIndexLine(const QuarantineRecord& record);
// Trims blanks, skips lines under 11 characters, without "::" or without exactly four parts.
// A size that is not a whole number reads as 0.
bool ParseIndexLine(std::wstring_view line, QuarantineRecord& record);

// Every accepted line of the file, in order; letting window events run once per line. False
// (and no records) when the file is missing or cannot be read.
bool ReadIndexFile(const std::wstring& indexPath, std::vector<QuarantineRecord>& records);
// Writes every record, or deletes the file when there are none. The new content goes to a side
// file first and replaces the index in one rename, so a failed write leaves the old index whole.
bool WriteIndexFile(const std::wstring& indexPath, const std::vector<QuarantineRecord>& records);

// Adds one record's line at the end of the index (made when missing), on a line of its own even
// when the last line has no line end, and on disk before it returns. A failed write leaves the
// file as long as it was. The cost does not depend on what the index holds.
bool AppendIndexLine(const std::wstring& indexPath, const QuarantineRecord& record);

// Which file the index is, how long, and when it was last written: a change by another store
// object (a rewrite renames a new file in, an addition makes it longer) changes the stamp, so a
// store that still holds the stamp of its own last read or write knows its records are current.
struct IndexStamp {
    bool exists = false;
    DWORD volume = 0;
    ULONGLONG fileId = 0;
    ULONGLONG size = 0;
    ULONGLONG lastWrite = 0;
    bool operator==(const IndexStamp&) const = default;
};
// Nothing when the file is there but cannot be looked at: then nobody can say it is unchanged.
std::optional<IndexStamp> StampOfIndex(const std::wstring& indexPath);

}  // namespace quarantine
}  // namespace tessaly
