// The quarantine store: scrambled backups of documents in "Quarantines", named by their digest,
// and the index "Quarantine.dat". A store object is made for one piece of work (a clean run, an
// opened manager dialog) and owns nothing beyond its records and its path object.
#pragma once

#include "ClsPathLib.h"
#include "ClsQuarantineIndex.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessaly {

inline constexpr wchar_t kQuarantineIndexName[] = L"Quarantine.dat";
inline constexpr wchar_t kQuarantineFolderName[] = L"Quarantines";
inline constexpr wchar_t kQuarantineTempName[] = L"tmp.tmp";

// Reasons left in LastErrMsg.
inline constexpr wchar_t kErrSourceMissing[] = L"目标文件不存在";
inline constexpr wchar_t kErrScrambleFailed[] = L"备份文件加密处理失败";
inline constexpr wchar_t kErrDigestFailed[] = L"计算hash值失败";
inline constexpr wchar_t kErrStoreBusy[] = L"隔离区正被占用";
inline constexpr wchar_t kErrIndexNotWritten[] = L"保存隔离记录失败";

class ClsQuarantine {
public:
    // Makes "Quarantines" when missing and reads the index. Throws std::runtime_error when the
    // folder cannot be made: the caller's fault handling ends its work (no store, no backup).
    ClsQuarantine();
    ~ClsQuarantine();
    ClsQuarantine(const ClsQuarantine&) = delete;
    ClsQuarantine& operator=(const ClsQuarantine&) = delete;

    const std::wstring& LastErrMsg() const noexcept { return m_lastErrMsg; }
    // Number of records; 0 when the total size is below 1.
    std::int32_t QuarantineFileCount() const noexcept;
    // Total size in megabytes.
    float QuarantineSize() const noexcept;
    // Drops the records of these paths and the stored copies no record holds any more.
    void DeleteQuarantineFiles(const std::vector<std::wstring>& sPaths) noexcept;
    // Restores in order, stopping at the first failure, whose path goes to OutfailedPath.
    bool RestoreQuarantineFiles(const std::vector<std::wstring>& sPaths, std::wstring& OutfailedPath) noexcept;
    // True only once the scrambled copy is on disk, its digest read back, and its record is in
    // the index file: a document may then be cleaned.
    bool QuarantineFile(const std::wstring& sPath) noexcept;
    // One text per record: date & "::" & path.
    bool GetRecords(std::vector<std::wstring>& outRecords) const noexcept;

private:
    bool LoadIndex() noexcept;
    // Reads the index again only when someone else changed it since this object last read or
    // wrote it; so a clean run's backups cost the same however many records the store holds.
    void RefreshIndex() noexcept;
    bool SaveIndex() noexcept;
    // A record of a path the store does not hold goes to the end of the index as one more line;
    // replacing one rewrites the index.
    bool AppendRecord(QuarantineRecord record);
    bool ReplaceRecord(std::size_t index, QuarantineRecord record, std::wstring& replacedDigest);
    // Index of the first record with that path, which a new backup of the path replaces.
    std::optional<std::size_t> FirstRecordOf(const std::wstring& path);
    bool StoreCopy(const std::wstring& sPath, std::wstring& digest, std::int64_t& length, bool& createdCopy);
    // Index of the last record with that path, or -1.
    std::ptrdiff_t FindRecord(const std::wstring& path) const noexcept;
    bool RemoveRecord(std::ptrdiff_t index) noexcept;
    // Deletes the stored copy unless a record other than leaveOut holds its digest.
    void DeleteStoredIfUnreferenced(const std::wstring& digest, std::ptrdiff_t leaveOut = -1) noexcept;
    bool RestoreOne(const std::wstring& path, std::vector<std::wstring>& freedDigests) noexcept;
    void DeleteOne(const std::wstring& path, std::vector<std::wstring>& freedDigests) noexcept;
    void RecomputeTotal() noexcept;
    std::wstring StoredPath(const std::wstring& digest) const { return m_folderPath + L"\\" + digest; }

    std::wstring m_dataFolder;
    std::wstring m_indexPath;
    std::wstring m_folderPath;
    std::int64_t m_totalSize = 0;
    std::vector<QuarantineRecord> m_records;  // empty vector: empty store
    // The index file as this object last read or wrote it; nothing when that is not known.
    std::optional<quarantine::IndexStamp> m_indexStamp;
    // First record of each path, made again when records were removed or read.
    std::unordered_map<std::wstring, std::size_t> m_firstRecordOf;
    bool m_firstRecordOfValid = false;
    std::unique_ptr<ClsPathLib> m_pathLib;
    std::wstring m_lastErrMsg;
};

}  // namespace tessaly
