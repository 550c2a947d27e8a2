// drossel.exe "/sf " over a tree, as the benchmark runs it: the scan's own time from the moment the
// page starts a new scan log to the log's summary, and how the window answers meanwhile.
#pragma once

#include <windows.h>

#include <string>

#include "UniqueHandle.h"

namespace scanbench {

inline constexpr double kScanTimeoutMs = 900000;

// The path with a trailing "\".
std::wstring Folder(std::wstring path);

// One drossel.exe of the benchmark.
struct Drossel {
    tessaly::unique_kernel_handle process;
    DWORD id = 0;
    double started = 0;
};

// A run of drossel.exe "/sf root" (data folders below dataRoot) whose scan has begun; no process
// when it never did.
Drossel StartScan(const std::wstring& programFolder, const std::wstring& root, const std::wstring& dataRoot);
void End(Drossel& run);
// The run's main window, and a control below it by identifier.
HWND MainWindow(DWORD processId);
HWND Descendant(HWND root, int id);

struct DrosselFigures {
    bool finished = false;
    double startupMs = 0;  // process start to the scan's begin
    double scanMs = 0;     // the scan's begin to its summary in the log
    long files = 0;        // "扫描文件数:" of the summary
};

// programFolder: a complete program folder; dataRoot: a folder of the benchmark's own that holds
// the per-machine and per-user data folders of the run.
DrosselFigures TimeDrosselScan(const std::wstring& programFolder, const std::wstring& root, const std::wstring& dataRoot);

struct ResponseFigures {
    bool measured = false;
    double messageMaxMs = 0;     // longest answer to a message sent to the window during the scan
    double messageMedianMs = 0;
    double repaintMaxMs = 0;     // longest time until an invalidated label was painted again
    double cancelMs = 0;         // press of " 取消" to the end of the scan
    long samples = 0;
};

// Starts a scan of root and, while it runs, measures the window's answers, then presses cancel.
ResponseFigures MeasureResponse(const std::wstring& programFolder, const std::wstring& root,
                                const std::wstring& dataRoot);

}  // namespace scanbench
