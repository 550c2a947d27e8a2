// Open, map, analyse; for a clean also write, verify and replace.
#include "DocumentFile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

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
            return;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(m_file.get(), &info)) {
            m_error = ::GetLastError();
            return;
        }
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            m_error = ERROR_DIRECTORY;
            return;
        }
        const ULONGLONG size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
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

bool WriteWholeFile(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!file) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return ::FlushFileBuffers(file.get()) != FALSE;
}

// The copy on disk must hold exactly the cleaned bytes and scan clean on its own.
bool VerifyWrittenCopy(const Analyzer& analyzer, const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    MappedDocument copy(path, FILE_SHARE_READ);
    if (!copy.ok() || copy.bytes().size() != bytes.size()) return false;
    if (!bytes.empty() && std::memcmp(copy.bytes().data(), bytes.data(), bytes.size()) != 0) return false;
    return analyzer.Scan(copy.bytes()).code == analysis::kScanClean;
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
        analysis::CleanOutcome outcome = analyzer.Clean(document.bytes());
        if (outcome.code != analysis::kCleanRepaired) return FromAnalysis(outcome.code, outcome.text, L"无需修复");

        const std::wstring copy = TempPathBeside(path);
        if (!WriteWholeFile(copy, outcome.bytes) || !VerifyWrittenCopy(analyzer, copy, outcome.bytes)) {
            ::DeleteFileW(copy.c_str());
            return {analysis::kCleanFailed, L"修复后的文件写入失败"};
        }
        document.Close();
        if (!ReplaceWithCopy(path, copy)) {
            ::DeleteFileW(copy.c_str());
            return {analysis::kCleanFailed, L"无法替换原文件"};
        }
        return FromAnalysis(analysis::kCleanRepaired, outcome.text, L"已清除");
    } catch (...) {
        return {-1, L"引擎内部错误"};
    }
}

}  // namespace tessaly::engine
