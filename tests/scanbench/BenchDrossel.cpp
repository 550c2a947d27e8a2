// Running drossel.exe for the benchmark; see BenchDrossel.h.
#include "BenchDrossel.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "usrScanCleanPage.h"

namespace scanbench {

std::wstring Folder(std::wstring path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

namespace {

constexpr wchar_t kMainCaption[] = L"Tessaly2021(Brenmoor增强版)";
constexpr wchar_t kSummaryLast[] = L"程序版本:";
constexpr wchar_t kSummaryFiles[] = L"扫描文件数:";

// The scan log of the run's per-machine data folder.
std::wstring ScanLogOf(const std::wstring& dataRoot) { return Folder(dataRoot) + L"ProgramData\\Tessaly\\scan.log"; }

void PrepareDataFolders(const std::wstring& dataRoot) {
    const std::wstring root = Folder(dataRoot);
    for (const wchar_t* sub : {L"ProgramData", L"ProgramData\\Tessaly", L"AppData"})
        ::CreateDirectoryW((root + sub).c_str(), nullptr);
    ::SetEnvironmentVariableW(L"ProgramData", (root + L"ProgramData").c_str());
    ::SetEnvironmentVariableW(L"AppData", (root + L"AppData").c_str());
}

std::optional<std::string> ReadShared(const std::wstring& path) {
    tessaly::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    if (!file) return std::nullopt;
    std::string bytes(1 << 16, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return std::nullopt;
    bytes.resize(read);
    return bytes;
}

Drossel Start(const std::wstring& programFolder, const std::wstring& root) {
    Drossel run;
    std::wstring command = L"\"" + Folder(programFolder) + L"drossel.exe\" /sf " + root;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    run.started = Milliseconds();
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, programFolder.c_str(), &startup,
                          &info))
        return run;
    tessaly::unique_kernel_handle thread(info.hThread);
    run.process.reset(info.hProcess);
    run.id = info.dwProcessId;
    return run;
}

}  // namespace

void End(Drossel& run) {
    if (!run.process) return;
    ::TerminateProcess(run.process.get(), 0);
    ::WaitForSingleObject(run.process.get(), 10000);
    run.process.reset();
}

namespace {

// Waits until the scan log that was left before the start is gone: the page began its scan.
bool WaitForScanBegin(const std::wstring& log, const Drossel& run) {
    while (Milliseconds() - run.started < kScanTimeoutMs) {
        if (::GetFileAttributesW(log.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        if (::WaitForSingleObject(run.process.get(), 1) == WAIT_OBJECT_0) return false;
    }
    return false;
}

// The summary's file count once the log holds its last line.
std::optional<long> SummaryFiles(const std::wstring& log) {
    const std::optional<std::string> bytes = ReadShared(log);
    if (!bytes) return std::nullopt;
    const std::wstring text = tessaly::AnsiToWide(*bytes);
    if (text.find(kSummaryLast) == std::wstring::npos) return std::nullopt;
    const std::size_t at = text.find(kSummaryFiles);
    return at == std::wstring::npos ? 0 : std::wcstol(text.c_str() + at + std::wcslen(kSummaryFiles), nullptr, 10);
}

}  // namespace

HWND MainWindow(DWORD processId) {
    struct Search {
        DWORD id;
        HWND found;
    } search{processId, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t caption[64]{};
            ::GetWindowTextW(window, caption, 64);
            if (owner != s.id || std::wstring(caption) != kMainCaption) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Descendant(HWND root, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    ::EnumChildWindows(
        root,
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            if (::GetDlgCtrlID(window) != s.id) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

Drossel StartScan(const std::wstring& programFolder, const std::wstring& root, const std::wstring& dataRoot) {
    PrepareDataFolders(dataRoot);
    const std::wstring log = ScanLogOf(dataRoot);
    { tessaly::unique_file marker(::CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)); }
    Drossel run = Start(programFolder, root);
    if (run.process && !WaitForScanBegin(log, run)) End(run);
    return run;
}

namespace {

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

DrosselFigures TimeDrosselScan(const std::wstring& programFolder, const std::wstring& root, const std::wstring& dataRoot) {
    DrosselFigures figures;
    const std::wstring log = ScanLogOf(dataRoot);
    Drossel run = StartScan(programFolder, root, dataRoot);
    if (!run.process) return figures;
    const double begun = Milliseconds();
    figures.startupMs = begun - run.started;
    while (Milliseconds() - begun < kScanTimeoutMs) {
        if (const std::optional<long> files = SummaryFiles(log)) {
            figures.scanMs = Milliseconds() - begun;
            figures.files = *files;
            figures.finished = true;
            break;
        }
        if (::WaitForSingleObject(run.process.get(), 1) == WAIT_OBJECT_0) break;
    }
    End(run);
    return figures;
}

ResponseFigures MeasureResponse(const std::wstring& programFolder, const std::wstring& root,
                                const std::wstring& dataRoot) {
    using tessaly::usrScanCleanPage;
    ResponseFigures figures;
    const std::wstring log = ScanLogOf(dataRoot);
    Drossel run = StartScan(programFolder, root, dataRoot);
    if (!run.process) return figures;
    const HWND window = MainWindow(run.id);
    const HWND label = Descendant(window, usrScanCleanPage::kIdLblResultCountShow0);
    const HWND cancel = Descendant(window, usrScanCleanPage::kIdCmdScanCleanBreak);
    if (!window || !label || !cancel) {
        End(run);
        return figures;
    }
    std::vector<double> answers;
    double repaintMax = 0;
    const double until = Milliseconds() + 1500;  // well within the scan of the benchmark's tree
    while (Milliseconds() < until && !SummaryFiles(log)) {
        double sent = Milliseconds();
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        answers.push_back(Milliseconds() - sent);
        // A label whose image is thrown away must be painted again while the scan goes on.
        sent = Milliseconds();
        ::RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE);
        while (::GetUpdateRect(label, nullptr, FALSE) && Milliseconds() - sent < 5000) ::Sleep(0);
        repaintMax = std::max(repaintMax, Milliseconds() - sent);
        ::Sleep(20);
    }
    if (SummaryFiles(log)) {
        End(run);  // the scan was over before the measurement: no figures
        return figures;
    }
    const double pressed = Milliseconds();
    ::PostMessageW(cancel, BM_CLICK, 0, 0);
    while (Milliseconds() - pressed < 10000 && (::GetWindowLongPtrW(cancel, GWL_STYLE) & WS_VISIBLE) != 0) ::Sleep(0);
    figures.cancelMs = Milliseconds() - pressed;
    figures.messageMaxMs = *std::max_element(answers.begin(), answers.end());
    figures.messageMedianMs = Median(answers);
    figures.repaintMaxMs = repaintMax;
    figures.samples = static_cast<long>(answers.size());
    figures.measured = true;
    End(run);
    return figures;
}

}  // namespace scanbench
