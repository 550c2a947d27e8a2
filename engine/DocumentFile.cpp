// Open, map, analyse; for a clean also write (as the cleaner goes), verify and replace.
#include "DocumentFile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "FaultLog.h"
#include "TextConvert.h"
#include "UniqueHandle.h"

namespace tessaly::engine {
namespace {

using analysis::Analyzer;

struct OpenFailure {
    int code;
    const wchar_t* text;
};

OpenFailure DescribeOpenError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_FILENAME_EXCED_RANGE:
            return {-1, L"文件不存在"};
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return {-1, L"文件被占用"};
        case ERROR_ACCESS_DENIED:
            return {-1, L"无权访问文件"};
        default:
            return {-1, L"无法打开文件"};
    }
}

// A document mapped read-only for the life of the object; an empty file has an empty span.
class MappedDocument {
public:
    MappedDocument(const std::wstring& path, DWORD share) {
        m_file.reset(::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!m_file) {
            m_error = ::GetLastError();
            // A folder cannot be opened as a file at all; say what it is rather than "no access".
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) m_error = ERROR_DIRECTORY;
            return;
        }
        // Only size and kind are needed: the standard class answers them without the volume and
        // index lookups of the full information, which cost most of a small document's scan under Wine.
        FILE_STANDARD_INFO info{};
        if (!::GetFileInformationByHandleEx(m_file.get(), FileStandardInfo, &info, sizeof info)) {
            m_error = ::GetLastError();
            return;
        }
        if (info.Directory) {
            m_error = ERROR_DIRECTORY;
            return;
        }
        const ULONGLONG size = static_cast<ULONGLONG>(info.EndOfFile.QuadPart);
        m_ok = true;
        if (size == 0) return;
        m_mapping.reset(::CreateFileMappingW(m_file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        if (m_mapping) m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_READ, 0, 0, 0));
        if (!m_view) {
            m_error = ::GetLastError();
            m_ok = false;
            return;
        }
        m_bytes = std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(m_view.get()), static_cast<std::size_t>(size));
    }
    [[nodiscard]] bool ok() const noexcept { return m_ok; }
    [[nodiscard]] DWORD error() const noexcept { return m_error; }
    [[nodiscard]] std::span<const std::uint8_t> bytes() const noexcept { return m_bytes; }
    void Close() noexcept {
        m_bytes = {};
        m_view.reset();
        m_mapping.reset();
        m_file.reset();
    }

private:
    unique_file m_file;
    unique_kernel_handle m_mapping;
    unique_view m_view;
    std::span<const std::uint8_t> m_bytes;
    DWORD m_error = 0;
    bool m_ok = false;
};

FileResult FailureOf(const MappedDocument& document) {
    if (document.error() == ERROR_DIRECTORY) return {-1, L"不是文件"};
    const OpenFailure failure = DescribeOpenError(document.error());
    return {failure.code, failure.text};
}

FileResult FromAnalysis(int code, const std::string& utf8Text, const wchar_t* fallback) {
    std::wstring text = Utf8ToWide(utf8Text);
    if (text.empty()) text = fallback;
    return {code, ReplyFieldText(std::move(text))};
}

// The cleaned copy, written beside the original as the cleaner produces it: small writes are
// gathered, and what was written is read back through a mapping of the file itself, so the copy
// is verified as it lies on disk and never held whole in memory. Deleted unless kept.
class TempFileSink final : public analysis::ByteSink {
public:
    explicit TempFileSink(std::wstring path) : m_path(std::move(path)) {
        m_file.reset(::CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        m_buffer.reserve(kBufferBytes);
    }
    ~TempFileSink() override {
        Close();
        if (!m_kept) ::DeleteFileW(m_path.c_str());
    }
    TempFileSink(const TempFileSink&) = delete;
    TempFileSink& operator=(const TempFileSink&) = delete;

    [[nodiscard]] bool ok() const noexcept { return m_file && m_ok; }
    [[nodiscard]] const std::wstring& path() const noexcept { return m_path; }

    void Write(analysis::Bytes bytes) override {
        m_view.reset();
        m_mapping.reset();
        m_size += bytes.size();
        if (m_buffer.size() + bytes.size() > kBufferBytes) Flush();
        if (bytes.size() >= kBufferBytes) WriteOut(bytes);
        else m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    }
    [[nodiscard]] analysis::Bytes Written() override {
        Flush();
        if (!m_ok || m_size == 0) return {};
        if (!m_view) {
            m_mapping.reset(::CreateFileMappingW(m_file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
            if (m_mapping) m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_READ, 0, 0, 0));
            if (!m_view) return {};
        }
        return {static_cast<const std::uint8_t*>(m_view.get()), static_cast<std::size_t>(m_size)};
    }
    [[nodiscard]] std::uint64_t size() const override { return m_size; }

    // Everything on disk and the file closed; false when any write failed.
    bool Finish() {
        Flush();
        m_ok = m_ok && m_file && ::FlushFileBuffers(m_file.get()) != FALSE;
        Close();
        return m_ok;
    }
    void Keep() noexcept { m_kept = true; }

private:
    static constexpr std::size_t kBufferBytes = 1u << 20;

    void Flush() {
        if (m_buffer.empty()) return;
        WriteOut(m_buffer);
        m_buffer.clear();
    }
    void WriteOut(analysis::Bytes bytes) {
        for (std::size_t done = 0; m_ok && done < bytes.size();) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
            DWORD written = 0;
            m_ok = m_file && ::WriteFile(m_file.get(), bytes.data() + done, chunk, &written, nullptr) && written != 0;
            done += written;
        }
    }
    void Close() noexcept {
        m_view.reset();
        m_mapping.reset();
        m_file.reset();
    }

    std::wstring m_path;
    unique_file m_file;
    unique_kernel_handle m_mapping;
    unique_view m_view;
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_size = 0;
    bool m_ok = true;
    bool m_kept = false;
};

// The copy on disk, read afresh once it is closed, must scan clean on its own.
bool CopyScansClean(const Analyzer& analyzer, const std::wstring& path) {
    MappedDocument copy(path, FILE_SHARE_READ);
    return copy.ok() && analyzer.Scan(copy.bytes()).code == analysis::kScanClean;
}

std::wstring TempPathBeside(const std::wstring& path) {
    return path + L"." + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount64()) +
           L".zdvtmp";
}

bool ReplaceWithCopy(const std::wstring& original, const std::wstring& copy) {
    if (::ReplaceFileW(original.c_str(), copy.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    return ::MoveFileExW(copy.c_str(), original.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace

std::wstring ToFileSystemPath(const std::wstring& linkPath) {
    std::wstring path = linkPath;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\")) return path;
    if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    return path;
}

std::wstring ReplyFieldText(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n' || c == L'\0') c = L' ';
    // "::" separates the fields of a reply, so the text must not hold it.
    for (std::size_t at = text.find(L"::"); at != std::wstring::npos; at = text.find(L"::", at))
        text.erase(at, 1);
    if (text.size() > 200) text.resize(200);
    return text;
}

FileResult ScanDocument(const Analyzer& analyzer, const std::wstring& linkPath) noexcept {
    try {
        if (linkPath.empty()) return {-1, L"路径为空"};
        MappedDocument document(ToFileSystemPath(linkPath), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        if (!document.ok()) return FailureOf(document);
        const analysis::Verdict verdict = analyzer.Scan(document.bytes());
        return FromAnalysis(verdict.code, verdict.text, verdict.code == analysis::kScanClean ? L"OK" : L"");
    } catch (...) {
        LogCaughtFault(L"ScanDocument");
        return {-1, L"引擎内部错误"};
    }
}

FileResult CleanDocument(const Analyzer& analyzer, const std::wstring& linkPath) noexcept {
    try {
        if (linkPath.empty()) return {-1, L"路径为空"};
        const std::wstring path = ToFileSystemPath(linkPath);
        // Nobody may write the document while its cleaned copy is made.
        MappedDocument document(path, FILE_SHARE_READ);
        if (!document.ok()) return FailureOf(document);
        TempFileSink copy(TempPathBeside(path));
        const analysis::CleanOutcome outcome = analyzer.Clean(document.bytes(), copy);
        if (outcome.code != analysis::kCleanRepaired) return FromAnalysis(outcome.code, outcome.text, L"无需修复");
        if (!copy.ok() || !copy.Finish() || !CopyScansClean(analyzer, copy.path()))
            return {analysis::kCleanFailed, L"修复后的文件写入失败"};
        document.Close();
        if (!ReplaceWithCopy(path, copy.path())) return {analysis::kCleanFailed, L"无法替换原文件"};
        copy.Keep();
        return FromAnalysis(analysis::kCleanRepaired, outcome.text, L"已清除");
    } catch (...) {
        LogCaughtFault(L"CleanDocument");
        return {-1, L"引擎内部错误"};
    }
}

}  // namespace tessaly::engine
