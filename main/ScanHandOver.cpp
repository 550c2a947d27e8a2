// Request files of the second start; see ScanHandOver.h.
#include "ScanHandOver.h"

#include <algorithm>
#include <optional>

#include "BoundedPoll.h"
#include "FaultLog.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace tessaly::scan_hand_over {
namespace {

constexpr std::uint32_t kPollStepMs = 50;

std::wstring FolderOrDefault(const std::wstring& folder) {
    std::wstring result = folder.empty() ? GetCommonDataFolder() : folder;
    if (!result.empty() && result.back() != L'\\') result += L'\\';
    return result;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Reads the request and removes it in one step; nothing when another process holds it.
std::optional<std::wstring> TakeOne(const std::wstring& path) {
    unique_file file(::CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024) return std::wstring();  // no path
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return std::wstring();
    bytes.resize(read);
    return Utf8ToWide(bytes);
}

struct RequestFile {
    std::wstring path;
    ULONGLONG written = 0;  // the request is written once, then only renamed
};

ULONGLONG Ticks(const FILETIME& time) { return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

std::vector<RequestFile> RequestFiles(const std::wstring& folder) {
    std::vector<RequestFile> files;
    WIN32_FIND_DATAW entry{};
    const std::wstring pattern = folder + kRequestPrefix + L"*" + kRequestExtension;
    unique_find find(::FindFirstFileW(pattern.c_str(), &entry));
    if (!find) return files;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files.push_back({folder + entry.cFileName, Ticks(entry.ftLastWriteTime)});
    } while (::FindNextFileW(find.get(), &entry));
    std::sort(files.begin(), files.end(), [](const RequestFile& a, const RequestFile& b) {
        return a.written != b.written ? a.written < b.written : a.path < b.path;
    });
    return files;
}

}  // namespace

HandOverResult HandOverScanPath(const std::wstring& path, std::uint32_t waitMs, const std::wstring& folder) {
    try {
        const std::wstring dir = FolderOrDefault(folder);
        const std::wstring name = dir + kRequestPrefix + std::to_wstring(::GetCurrentProcessId());
        const std::wstring request = name + kRequestExtension;
        const std::wstring partial = name + L".tmp";
        if (!WriteAll(partial, WideToUtf8(path)) ||
            !::MoveFileExW(partial.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            ::DeleteFileW(partial.c_str());
            return HandOverResult::NotWritten;
        }
        const auto taken = [&] { return ::GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; };
        if (PollUntil(taken, PollPlan{waitMs, kPollStepMs, 0, true}) == PollResult::Done) return HandOverResult::Taken;
        // Withdrawn, so that no window scans it later after the user was told it did not go. A
        // request that cannot be deleted any more is gone or being read by the window right now.
        return ::DeleteFileW(request.c_str()) ? HandOverResult::NotTaken : HandOverResult::Taken;
    } catch (...) {
        LogCaughtFault(L"HandOverScanPath");
        return HandOverResult::NotWritten;
    }
}

std::vector<std::wstring> TakeScanRequests(const std::wstring& folder) {
    std::vector<std::wstring> paths;
    try {
        for (const RequestFile& file : RequestFiles(FolderOrDefault(folder)))
            if (std::optional<std::wstring> path = TakeOne(file.path); path && !path->empty()) paths.push_back(*path);
    } catch (...) {
        LogCaughtFault(L"TakeScanRequests");
    }
    return paths;
}

void DropRequestsOlderThan(const FILETIME& since, const std::wstring& folder) {
    try {
        for (const RequestFile& file : RequestFiles(FolderOrDefault(folder)))
            if (file.written < Ticks(since)) ::DeleteFileW(file.path.c_str());
    } catch (...) {
        LogCaughtFault(L"DropRequestsOlderThan");
    }
}

}  // namespace tessaly::scan_hand_over
