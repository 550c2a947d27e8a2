// docfile_bench.exe FILE...: scans each file and cleans a copy of it through the engine's own file
// side (DocumentFile), reporting the time and the peak private memory of the process, sampled
// every millisecond while the work runs (under Wine the mapped document is not private memory).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "DocumentFile.h"

namespace {

// Private committed memory. Wine leaves PrivateUsage at zero and reports the commit charge as
// PagefileUsage (which Windows also counts as private), so the larger of the two is taken.
double PrivateMiB() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    return static_cast<double>(std::max(counters.PrivateUsage, counters.PagefileUsage)) / (1024.0 * 1024.0);
}

struct Run {
    double seconds = 0, baselineMiB = 0, peakMiB = 0;
    tessaly::engine::FileResult result;
};

template <typename F>
Run Measure(F&& work) {
    Run run;
    run.baselineMiB = PrivateMiB();
    std::atomic<bool> done{false};
    double peak = run.baselineMiB;
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak, PrivateMiB());
            ::Sleep(1);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    run.result = work();
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    sampler.join();
    run.peakMiB = std::max(peak, PrivateMiB());
    return run;
}

ULONGLONG FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const tessaly::analysis::Analyzer analyzer;
    for (int i = 1; i < argc; ++i) {
        const std::wstring path = argv[i];
        const double megabytes = static_cast<double>(FileBytes(path)) / 1e6;
        const Run scan = Measure([&] { return tessaly::engine::ScanDocument(analyzer, path); });
        const std::wstring copy = path + L".bench-copy";
        ::CopyFileW(path.c_str(), copy.c_str(), FALSE);
        const Run clean = Measure([&] { return tessaly::engine::CleanDocument(analyzer, copy); });
        const double cleanedMegabytes = static_cast<double>(FileBytes(copy)) / 1e6;
        ::DeleteFileW(copy.c_str());
        std::wprintf(L"%ls: %.1f MB\n  scan  %.3f s (%.0f MB/s), private %.1f MiB at start, peak %.1f MiB (+%.1f), code %d\n"
                     L"  clean %.3f s, private %.1f MiB at start, peak %.1f MiB (+%.1f), code %d, cleaned file %.1f MB\n",
                     path.c_str(), megabytes, scan.seconds, megabytes / scan.seconds, scan.baselineMiB, scan.peakMiB,
                     scan.peakMiB - scan.baselineMiB, scan.result.code, clean.seconds, clean.baselineMiB, clean.peakMiB,
                     clean.peakMiB - clean.baselineMiB, clean.result.code, cleanedMegabytes);
    }
    return 0;
}
