// What a scan found: the seven counters, the path lists behind the counter dialogs and the
// infected-file records, and the interface through which the page shows each change.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

struct InfectedFileRecord {
    std::wstring Path;       // "\" separators
    std::wstring VirusName;
    long RowIndex = -1;      // the file's row in the result list
};

// Indexes of lblResultCountShow / lblScanResultCountShowTitle.
enum ScanCounterIndex : int {
    kCounterTotal = 0,
    kCounterVirus = 1,
    kCounterCleaned = 2,
    kCounterSuspected = 3,
    kCounterEncrypted = 4,
    kCounterCleanFailed = 5,
    kCounterBadDoc = 6,
    kCounterCount = 7,
};

// Colour codes of the result list's tags.
inline constexpr long kTagColorVirus = 1;
inline constexpr long kTagColorFault = 2;
inline constexpr long kTagColorRepaired = 4;
inline constexpr long kTagColorUnknown = 5;

inline constexpr wchar_t kTagUnknownError[] = L"未知错误";
inline constexpr wchar_t kTagFault[] = L"异常错误";
inline constexpr wchar_t kTagRepaired[] = L"修复成功";
inline constexpr wchar_t kSuspectedLogWord[] = L"可疑";
inline constexpr wchar_t kFourBlanks[] = L"    ";

struct ScanResults {
    std::int32_t TotalCount = 0;
    std::int32_t VirusCount = 0;
    std::int32_t CleanedCount = 0;
    std::int32_t CleanFailedCount = 0;
    std::int32_t SuspectedCount = 0;
    std::int32_t EncryptedCount = 0;
    std::int32_t BadDocFileCount = 0;
    std::vector<InfectedFileRecord> InfectedFiles;
    std::vector<std::wstring> SuspectedFiles;
    std::vector<std::wstring> EncryptedFiles;
    std::vector<std::wstring> CleanFailedFiles;
    std::vector<std::wstring> BadDocFiles;

    void Reset() { *this = ScanResults{}; }
    [[nodiscard]] std::int32_t Counter(int index) const noexcept;
};

// Where the reply handling puts what a user sees and what goes into the scan log.
class ScanResultSink {
public:
    virtual ~ScanResultSink() = default;
    virtual long AddRow(const std::wstring& text, const std::wstring& tag, long color) = 0;
    // An empty tag or colour 0 leaves that part of the row as it is.
    virtual void UpdateRow(long index, const std::wstring& mainText, const std::wstring& tag, long color) = 0;
    virtual void ShowCounter(int index, std::int32_t value) = 0;
    virtual void WriteLogLine(const std::wstring& line) = 0;
};

}  // namespace tessaly
