// The clean road's benchmark run; see BenchClean.h.
#include "BenchClean.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "BenchClock.h"
#include "BenchDrossel.h"
#include "Samples.h"
#include "UniqueHandle.h"
#include "usrScanCleanPage.h"

namespace scanbench {
namespace {

using tessaly::usrScanCleanPage;

constexpr double kCleanTimeoutMs = 3600000;
constexpr wchar_t kScanFinished[] = L"扫描完毕";
constexpr wchar_t kCleanFinished[] = L"处理完成";
// An update service nobody listens at: the updater the main program starts ends at once.
constexpr wchar_t kNowhere[] = L"http://127.0.0.1:9";

// The caption the system keeps for a control: read without a message to the busy window.
std::wstring Caption(HWND control) {
    wchar_t text[512]{};
    ::GetWindowTextW(control, text, 512);
    return text;
}

long Number(HWND control) { return std::wcstol(Caption(control).c_str(), nullptr, 10); }

void PointUpdaterNowhere(const std::wstring& dataRoot) {
    const std::wstring folder = Folder(dataRoot) + L"AppData\\tessaly";
    ::CreateDirectoryW((Folder(dataRoot) + L"AppData").c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring config = folder + L"\\config.dat";
    ::WritePrivateProfileStringW(L"general", L"UpdateURL", (std::wstring(kNowhere) + L"/tessaly/update1").c_str(),
                                 config.c_str());
    ::WritePrivateProfileStringW(L"general", L"WebServerHost", kNowhere, config.c_str());
}

bool WaitForCaption(HWND control, const wchar_t* text, const Drossel& run, double timeoutMs) {
    const double start = Milliseconds();
    while (Milliseconds() - start < timeoutMs) {
        if (Caption(control) == text) return true;
        if (::WaitForSingleObject(run.process.get(), 20) == WAIT_OBJECT_0) return false;
    }
    return false;
}

// Reads the counters while the clean runs: when the window's first documents were done, when
// the last window began, and when all were.
void FollowClean(HWND page, const Drossel& run, long count, long window, CleanFigures& figures) {
    const HWND cleaned = Descendant(page, usrScanCleanPage::kIdLblResultCountShow0 + 2);
    const HWND failed = Descendant(page, usrScanCleanPage::kIdLblResultCountShow0 + 5);
    const HWND path = Descendant(page, usrScanCleanPage::kIdLblScanPath);
    const double pressed = Milliseconds();
    double firstDone = 0, lastBegun = 0;
    while (Milliseconds() - pressed < kCleanTimeoutMs) {
        const long done = Number(cleaned) + Number(failed);
        const double now = Milliseconds();
        if (firstDone == 0 && done >= window) firstDone = now;
        if (lastBegun == 0 && done >= count - window) lastBegun = now;
        if (done >= count || Caption(path) == kCleanFinished) {
            figures.finished = done >= count;
            figures.cleanMs = now - pressed;
            if (firstDone > pressed) figures.firstRate = window * 1000.0 / (firstDone - pressed);
            if (now > lastBegun && lastBegun > 0) figures.lastRate = window * 1000.0 / (now - lastBegun);
            break;
        }
        if (::WaitForSingleObject(run.process.get(), 2) == WAIT_OBJECT_0) break;
    }
    figures.cleaned = Number(cleaned);
    figures.failed = Number(failed);
}

}  // namespace

bool WriteInfectedDocuments(const std::wstring& folder, long count) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (long i = 0; i < count; ++i) {
        const tessaly::fixtures::ByteVec bytes = tessaly::fixtures::InfectedWordDocument(static_cast<unsigned>(i));
        const std::wstring path = Folder(folder) + L"infected" + std::to_wstring(i) + L".doc";
        tessaly::unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD put = 0;
        if (!file || !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) ||
            put != bytes.size())
            return false;
    }
    return true;
}

CleanFigures TimeDrosselClean(const std::wstring& programFolder, const std::wstring& folder, const std::wstring& dataRoot,
                              long count, long window) {
    CleanFigures figures;
    figures.documents = count;
    PointUpdaterNowhere(dataRoot);
    Drossel run = StartScan(programFolder, folder, dataRoot);
    if (!run.process) return figures;
    const HWND page = MainWindow(run.id);
    const HWND clean = Descendant(page, usrScanCleanPage::kIdCmdJustClean);
    if (page && clean && WaitForCaption(Descendant(page, usrScanCleanPage::kIdLblScanPath), kScanFinished, run,
                                        kScanTimeoutMs)) {
        ::PostMessageW(clean, BM_CLICK, 0, 0);
        FollowClean(page, run, count, window, figures);
    }
    End(run);
    return figures;
}

}  // namespace scanbench
