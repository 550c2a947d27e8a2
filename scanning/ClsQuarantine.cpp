// The quarantine store. Every change holds the store's lock and starts from the index on disk,
// so two store objects (the main program's and the guard's) never drop each other's records;
// between changes an object shows the records as it last read or wrote them. The index is read
// again only when its stamp shows another writer, and a new path only adds its line.
#include "ClsQuarantine.h"

#include "ClsQuarantineLock.h"
#include "ClsQuarantineXor.h"
#include "modCommon.h"
#include "FaultLog.h"

#include <windows.h>

#include <stdexcept>

namespace tessaly {

using quarantine::QuarantineLock;

ClsQuarantine::ClsQuarantine() : m_pathLib(std::make_unique<ClsPathLib>()) {
    m_dataFolder = GetCommonDataFolder();
    m_indexPath = m_dataFolder + kQuarantineIndexName;
    m_folderPath = m_dataFolder + kQuarantineFolderName;
    if (!m_pathLib->IsDir(m_folderPath)) {
        ::CreateDirectoryW(m_folderPath.c_str(), nullptr);
        if (!m_pathLib->IsDir(m_folderPath)) throw std::runtime_error("quarantine folder cannot be created");
    }
    // A reader that cannot get the lock still reads: the index is only ever replaced whole.
    QuarantineLock lock(m_dataFolder);
    LoadIndex();
}

ClsQuarantine::~ClsQuarantine() = default;

std::int32_t ClsQuarantine::QuarantineFileCount() const noexcept {
    if (m_totalSize < 1) return 0;
    return static_cast<std::int32_t>(m_records.size());
}

float ClsQuarantine::QuarantineSize() const noexcept {
    return static_cast<float>(m_totalSize) / 1024.0f / 1024.0f;
}

void ClsQuarantine::RecomputeTotal() noexcept {
    m_totalSize = 0;
    for (const QuarantineRecord& r : m_records) m_totalSize += r.SourceSize;
}

bool ClsQuarantine::LoadIndex() noexcept {
    m_firstRecordOfValid = false;
    try {
        // The stamp comes first: a change between it and the read makes the next look read again.
        m_indexStamp = quarantine::StampOfIndex(m_indexPath);
        std::vector<QuarantineRecord> records;
        const bool read = quarantine::ReadIndexFile(m_indexPath, records);
        m_records = std::move(records);
        RecomputeTotal();
        return read && !m_records.empty();
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::LoadIndex");
        m_indexStamp.reset();
        m_records.clear();
        RecomputeTotal();
        return false;
    }
}

void ClsQuarantine::RefreshIndex() noexcept {
    try {
        const std::optional<quarantine::IndexStamp> now = quarantine::StampOfIndex(m_indexPath);
        if (now && m_indexStamp && *now == *m_indexStamp) return;
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::RefreshIndex");
    }
    LoadIndex();
}

bool ClsQuarantine::SaveIndex() noexcept {
    RecomputeTotal();
    m_firstRecordOfValid = false;
    try {
        const bool written = quarantine::WriteIndexFile(m_indexPath, m_records);
        m_indexStamp = written ? quarantine::StampOfIndex(m_indexPath) : std::nullopt;
        return written;
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::SaveIndex");
        m_indexStamp.reset();
        return false;
    }
}

bool ClsQuarantine::AppendRecord(QuarantineRecord record) {
    if (!quarantine::AppendIndexLine(m_indexPath, record)) {
        m_indexStamp.reset();
        return false;
    }
    m_indexStamp = quarantine::StampOfIndex(m_indexPath);
    m_totalSize += record.SourceSize;
    if (m_firstRecordOfValid) m_firstRecordOf.emplace(record.SourcePath, m_records.size());
    m_records.push_back(std::move(record));
    return true;
}

bool ClsQuarantine::ReplaceRecord(std::size_t index, QuarantineRecord record, std::wstring& replacedDigest) {
    QuarantineRecord& old = m_records[index];
    if (old.StoredHash != record.StoredHash) replacedDigest = old.StoredHash;
    old = std::move(record);
    return SaveIndex();
}

std::optional<std::size_t> ClsQuarantine::FirstRecordOf(const std::wstring& path) {
    if (!m_firstRecordOfValid) {
        m_firstRecordOf.clear();
        for (std::size_t i = 0; i < m_records.size(); ++i) m_firstRecordOf.emplace(m_records[i].SourcePath, i);
        m_firstRecordOfValid = true;
    }
    const auto found = m_firstRecordOf.find(path);
    if (found == m_firstRecordOf.end()) return std::nullopt;
    return found->second;
}

std::ptrdiff_t ClsQuarantine::FindRecord(const std::wstring& path) const noexcept {
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(m_records.size()) - 1; i >= 0; --i)
        if (m_records[static_cast<std::size_t>(i)].SourcePath == path) return i;
    return -1;
}

bool ClsQuarantine::RemoveRecord(std::ptrdiff_t index) noexcept {
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(m_records.size())) return false;
    m_records.erase(m_records.begin() + index);
    m_firstRecordOfValid = false;
    return true;
}

void ClsQuarantine::DeleteStoredIfUnreferenced(const std::wstring& digest, std::ptrdiff_t leaveOut) noexcept {
    if (!quarantine::IsDigestName(digest)) return;
    for (std::size_t i = 0; i < m_records.size(); ++i)
        if (static_cast<std::ptrdiff_t>(i) != leaveOut && m_records[i].StoredHash == digest) return;
    try {
        m_pathLib->DelFile(StoredPath(digest));
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::DeleteStoredIfUnreferenced");
    }
}

// Steps up to a verified stored copy named by its digest; "tmp.tmp" is gone when it returns.
// Under Wine every look for a name a folder does not hold reads the whole folder, and
// "Quarantines" holds one copy per backup: so the road looks up a missing name there only to
// make "tmp.tmp" (made anew, as deleting a leftover first would) and to rename it, and the rename
// itself tells whether the same content was stored before.
bool ClsQuarantine::StoreCopy(const std::wstring& sPath, std::wstring& digest, std::int64_t& length, bool& createdCopy) {
    const std::wstring tempPath = m_folderPath + L"\\" + kQuarantineTempName;
    struct TempRemover {
        const std::wstring& path;
        bool renamed = false;
        ~TempRemover() {
            if (!renamed) ::DeleteFileW(path.c_str());
        }
    } remover{tempPath};

    createdCopy = false;
    const quarantine::XorCopyResult copy = quarantine::XorCopy(sPath, tempPath);
    if (!copy.ok) {
        m_lastErrMsg = kErrScrambleFailed;
        return false;
    }
    digest = quarantine::ReadBackDigest(tempPath);
    if (digest.empty()) {
        m_lastErrMsg = kErrDigestFailed;
        return false;
    }
    if (digest != copy.targetDigest) {  // the disk does not hold what was written
        m_lastErrMsg = kErrScrambleFailed;
        return false;
    }
    length = copy.length;
    const std::wstring storedPath = StoredPath(digest);
    if (!::MoveFileExW(tempPath.c_str(), storedPath.c_str(), 0)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return false;
        if (quarantine::ReadBackDigest(storedPath) == digest) return true;  // same content stored before
        // A damaged copy under this name is no backup; ours replaces it.
        if (!::MoveFileExW(tempPath.c_str(), storedPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    }
    remover.renamed = true;
    createdCopy = true;
    if (quarantine::ReadBackDigest(storedPath) != digest) {
        m_lastErrMsg = kErrDigestFailed;
        return false;
    }
    return true;
}

bool ClsQuarantine::QuarantineFile(const std::wstring& sPath) noexcept {
    try {
        if (!m_pathLib->IsFile(sPath)) {
            m_lastErrMsg = kErrSourceMissing;
            return false;
        }
        QuarantineLock lock(m_dataFolder);
        if (!lock.held()) {
            m_lastErrMsg = kErrStoreBusy;
            return false;
        }
        RefreshIndex();

        std::wstring digest;
        std::int64_t length = 0;
        bool createdCopy = false;
        if (!StoreCopy(sPath, digest, length, createdCopy)) {
            if (createdCopy) DeleteStoredIfUnreferenced(digest);
            return false;
        }

        QuarantineRecord record{GetDateText(), length, digest, sPath};
        std::wstring replacedDigest;
        const std::optional<std::size_t> same = FirstRecordOf(sPath);
        const bool written =
            same ? ReplaceRecord(*same, std::move(record), replacedDigest) : AppendRecord(std::move(record));
        if (!written) {
            // Without its record the copy cannot be restored: report it, so nothing gets cleaned.
            m_lastErrMsg = kErrIndexNotWritten;
            LoadIndex();
            if (createdCopy) DeleteStoredIfUnreferenced(digest);
            return false;
        }
        if (!replacedDigest.empty()) DeleteStoredIfUnreferenced(replacedDigest);
        return true;
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::QuarantineFile");
        try {
            ::DeleteFileW((m_folderPath + L"\\" + kQuarantineTempName).c_str());
        } catch (...) {
            LogCaughtFault(L"ClsQuarantine::QuarantineFile");
        }
        return false;
    }
}

bool ClsQuarantine::RestoreOne(const std::wstring& path, std::vector<std::wstring>& freedDigests) noexcept {
    try {
        const std::ptrdiff_t index = FindRecord(path);
        if (index < 0) return false;
        const QuarantineRecord record = m_records[static_cast<std::size_t>(index)];
        if (!quarantine::IsDigestName(record.StoredHash)) return false;
        const std::wstring storedPath = StoredPath(record.StoredHash);
        if (!m_pathLib->IsFile(storedPath)) return false;
        if (quarantine::ReadBackDigest(storedPath) != record.StoredHash) return false;

        if (m_pathLib->IsFile(record.SourcePath)) {
            m_pathLib->DelFile(record.SourcePath);
            if (m_pathLib->IsFile(record.SourcePath)) return false;
        }
        const quarantine::XorCopyResult copy = quarantine::XorCopy(storedPath, record.SourcePath);
        // The bytes read must be the stored ones and the bytes on disk the restored ones, before
        // the record and its copy may go.
        const bool good = copy.ok && copy.sourceDigest == record.StoredHash &&
                          quarantine::ReadBackDigest(record.SourcePath) == copy.targetDigest;
        if (!good) {
            ::DeleteFileW(record.SourcePath.c_str());
            return false;
        }
        RemoveRecord(index);
        freedDigests.push_back(record.StoredHash);
        return true;
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::RestoreOne");
        return false;
    }
}

bool ClsQuarantine::RestoreQuarantineFiles(const std::vector<std::wstring>& sPaths, std::wstring& OutfailedPath) noexcept {
    OutfailedPath.clear();
    try {
        if (sPaths.empty()) return true;
        QuarantineLock lock(m_dataFolder);
        if (!lock.held()) {
            OutfailedPath = sPaths.front();
            return false;
        }
        RefreshIndex();
        std::vector<std::wstring> freed;
        bool all = true;
        for (const std::wstring& path : sPaths) {
            if (!RestoreOne(path, freed)) {
                OutfailedPath = path;
                all = false;
                break;
            }
        }
        // Copies go only once the index no longer names them, so no record ever points at a
        // deleted copy.
        if (!freed.empty() && SaveIndex())
            for (const std::wstring& digest : freed) DeleteStoredIfUnreferenced(digest);
        return all;
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::RestoreQuarantineFiles");
        if (OutfailedPath.empty() && !sPaths.empty()) OutfailedPath = sPaths.front();
        return false;
    }
}

void ClsQuarantine::DeleteOne(const std::wstring& path, std::vector<std::wstring>& freedDigests) noexcept {
    const std::ptrdiff_t index = FindRecord(path);
    if (index < 0) return;
    try {
        freedDigests.push_back(m_records[static_cast<std::size_t>(index)].StoredHash);
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::DeleteOne");
        return;
    }
    RemoveRecord(index);
}

void ClsQuarantine::DeleteQuarantineFiles(const std::vector<std::wstring>& sPaths) noexcept {
    try {
        QuarantineLock lock(m_dataFolder);
        if (!lock.held()) return;
        RefreshIndex();
        std::vector<std::wstring> freed;
        for (const std::wstring& path : sPaths) DeleteOne(path, freed);
        if (freed.empty()) return;
        if (SaveIndex())
            for (const std::wstring& digest : freed) DeleteStoredIfUnreferenced(digest);
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::DeleteQuarantineFiles");
    }
}

bool ClsQuarantine::GetRecords(std::vector<std::wstring>& outRecords) const noexcept {
    if (m_totalSize < 1 || m_records.empty()) return false;
    try {
        std::vector<std::wstring> texts;
        texts.reserve(m_records.size());
        for (const QuarantineRecord& r : m_records) texts.push_back(r.QuarantineDate + L"::" + r.SourcePath);
        outRecords = std::move(texts);
        return true;
    } catch (...) {
        LogCaughtFault(L"ClsQuarantine::GetRecords");
        return false;
    }
}

}  // namespace tessaly
