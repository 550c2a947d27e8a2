// Analysis throughput over a generated corpus, in memory (Google Benchmark) and as a whole run
// over files on disk (--write-corpus=DIR, then --scan-folder=DIR), the way clamscan is timed.
// --hostile[=NAME] checks the crafted hostile files (or those whose name holds NAME) against their
// time and memory targets, each scan and clean in a child process of its own; --write-large=DIR writes the 400 MiB documents that
// --measure=FILE (and the Windows docfile_bench under Wine) scan and clean.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <atomic>
#include <thread>

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include "Analyzer.h"
#include "BenchCorpus.h"
#include "HostileDocuments.h"
#include "LargeDocuments.h"

using namespace tessaly;

namespace {

constexpr std::size_t kCorpusSize = 3000;

void BM_ScanCorpus(benchmark::State& state) {
    static const auto corpus = testfiles::BenchCorpus(kCorpusSize);
    analysis::Analyzer analyzer;
    for (auto _ : state) {
        for (const auto& s : corpus) benchmark::DoNotOptimize(analyzer.Scan(s.bytes));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus.size()));
}
BENCHMARK(BM_ScanCorpus)->Unit(benchmark::kMillisecond);

void BM_CleanMacroDocuments(benchmark::State& state) {
    static const auto corpus = testfiles::BenchCorpus(kCorpusSize);
    std::vector<const fixtures::Sample*> infected;
    for (const auto& s : corpus)
        if (s.expectedScanCode == analysis::kScanInfected) infected.push_back(&s);
    analysis::Analyzer analyzer;
    for (auto _ : state) {
        for (const auto* s : infected) benchmark::DoNotOptimize(analyzer.Clean(s->bytes));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * infected.size()));
}
BENCHMARK(BM_CleanMacroDocuments)->Unit(benchmark::kMillisecond);

int WriteCorpus(const char* folder) {
    std::filesystem::create_directories(folder);
    for (const auto& s : testfiles::BenchCorpus(kCorpusSize)) {
        std::ofstream out(std::filesystem::path(folder) / s.fileName, std::ios::binary);
        out.write(reinterpret_cast<const char*>(s.bytes.data()), static_cast<std::streamsize>(s.bytes.size()));
    }
    return 0;
}

// Reads and scans every file, one after the other, as the engine does for a scan request.
int ScanFolder(const char* folder) {
    const auto start = std::chrono::steady_clock::now();
    analysis::Analyzer analyzer;
    std::size_t files = 0, found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto v = analyzer.Scan(bytes);
        ++files;
        if (v.code == analysis::kScanInfected || v.code == analysis::kScanSuspected) ++found;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("files=%zu macro_documents=%zu seconds=%.3f files_per_second=%.1f\n", files, found, seconds,
                seconds > 0 ? files / seconds : 0.0);
    return 0;
}

// Memory is what the work added to the child: the child starts as a copy of the benchmark, whose
// own samples would otherwise count as the document's.
struct ChildRun {
    double seconds = 0;
    double peakMiB = 0;         // peak resident growth, mapped files included
    double peakPrivateMiB = 0;  // peak anonymous (private) resident growth, sampled
    int status = 0;
    [[nodiscard]] bool killed() const { return WIFSIGNALED(status); }
};

// A child that runs longer than this is stopped, so one file that hangs cannot stop the run.
constexpr unsigned kChildSecondsLimit = 60;

// A "/proc/self/status" line's value in MiB ("VmRSS", "VmHWM", "RssAnon").
double StatusMiB(std::string_view key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0 && line.size() > key.size() && line[key.size()] == ':')
            return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return 0;
}

// Runs `work` in a child process: its wall time, its peak resident memory and its peak private
// memory (sampled every millisecond), both over what the child held when it started.
template <typename F>
ChildRun InChild(F&& work) {
    int channel[2];
    if (pipe(channel) != 0) return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(kChildSecondsLimit);
        // Heap the benchmark freed would be reused unseen, and the peak the child inherited is the
        // benchmark's: both are given back, so what follows is the work's own.
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        const double startResident = StatusMiB("VmRSS");
        const double startPrivate = StatusMiB("RssAnon");
        std::atomic<bool> done{false};
        double peak = startPrivate;
        std::thread sampler([&] {
            while (!done) {
                peak = std::max(peak, StatusMiB("RssAnon"));
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const int code = work();
        done = true;
        sampler.join();
        const double grown[2] = {std::max(peak, StatusMiB("RssAnon")) - startPrivate, StatusMiB("VmHWM") - startResident};
        if (write(channel[1], grown, sizeof grown) != sizeof grown) _exit(255);
        _exit(code);
    }
    close(channel[1]);
    ChildRun run;
    double grown[2] = {-1, -1};
    if (read(channel[0], grown, sizeof grown) != sizeof grown) grown[0] = grown[1] = -1;
    close(channel[0]);
    rusage usage{};
    wait4(pid, &run.status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakPrivateMiB = grown[0];
    // A child stopped before it could tell: its whole peak, the benchmark's copy included.
    run.peakMiB = grown[1] >= 0 ? grown[1] : static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

// Time and memory limits a file is held to, by its size.
struct Target {
    double seconds, mebibytes;
};
Target TargetFor(std::size_t bytes) { return bytes < (1u << 20) ? Target{1.0, 256.0} : Target{5.0, 512.0}; }

// The file under 1 MiB that took longest and the one that needed most memory, scan or clean.
struct Worst {
    std::string slowest, largest;
    double seconds = 0, mebibytes = 0;
    void Note(const std::string& name, std::size_t bytes, const ChildRun& run) {
        if (bytes >= (1u << 20)) return;
        if (run.seconds > seconds) seconds = run.seconds, slowest = name;
        if (run.peakMiB > mebibytes) mebibytes = run.peakMiB, largest = name;
    }
};

std::string Outcome(const ChildRun& run) {
    char text[48];
    if (run.killed()) std::snprintf(text, sizeof text, ">%3us stopped", kChildSecondsLimit);
    else std::snprintf(text, sizeof text, "%6.3f %7.1f %4d", run.seconds, run.peakMiB, WEXITSTATUS(run.status));
    return text;
}

// Every hostile file, or those whose name holds `only`.
int Hostile(std::string_view only) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<fixtures::HostileSample> samples;
    for (double scale : {1.0, 4.0})
        for (auto& s : fixtures::HostileSamples(scale))
            if (s.fileName.find(only) != std::string::npos)
                samples.push_back({(scale == 1.0 ? "" : "x4-") + s.fileName, std::move(s.bytes)});
    bool allMet = true;
    Worst worst;
    std::printf("%-48s %9s  %-22s %-22s\n", "file", "bytes", "scan (s, MiB, code)", "clean (s, MiB, code)");
    for (const auto& s : samples) {
        const Target target = TargetFor(s.bytes.size());
        const ChildRun scan = InChild([&] { return analysis::Analyzer().Scan(s.bytes).code & 0xFF; });
        const ChildRun clean = InChild([&] { return analysis::Analyzer().Clean(s.bytes).code & 0xFF; });
        const bool met = !scan.killed() && !clean.killed() && scan.seconds <= target.seconds && clean.seconds <= target.seconds &&
                         scan.peakMiB <= target.mebibytes && clean.peakMiB <= target.mebibytes;
        allMet = allMet && met;
        worst.Note(s.fileName + " (scan)", s.bytes.size(), scan);
        worst.Note(s.fileName + " (clean)", s.bytes.size(), clean);
        std::printf("%-48s %9zu  %-22s %-22s %s\n", s.fileName.c_str(), s.bytes.size(), Outcome(scan).c_str(),
                    Outcome(clean).c_str(), met ? "ok" : "OVER TARGET");
    }
    std::printf("under 1 MiB: slowest %.3f s (%s), largest %.1f MiB (%s)\n", worst.seconds, worst.slowest.c_str(),
                worst.mebibytes, worst.largest.c_str());
    std::printf("hostile files: %s (under 1 MiB: 1 s and 256 MiB; any size: 5 s and 512 MiB)\n",
                allMet ? "all within targets" : "SOME OVER TARGET");
    return allMet ? 0 : 1;
}

int WriteLarge(const char* folder) {
    std::filesystem::create_directories(folder);
    // Just under the 400 MiB the scan page sends: the FAT takes 1/128 of a compound file.
    constexpr std::uint64_t kSize = 400ull << 20;
    fixtures::FileSink xls((std::filesystem::path(folder) / "large.xls").string());
    fixtures::WriteLargeXls(xls, (kSize - (1u << 20)) / 129 * 128);
    fixtures::FileSink xlsm((std::filesystem::path(folder) / "large.xlsm").string());
    fixtures::WriteLargeXlsm(xlsm, kSize - (1u << 20));
    return xls.ok() && xlsm.ok() ? 0 : 1;
}

// The host's counterpart of the engine's cleaned copy: written to a file, read back mapped.
class MappedFileSink final : public analysis::ByteSink {
public:
    explicit MappedFileSink(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600)) {}
    ~MappedFileSink() override {
        if (m_view) munmap(m_view, m_mapped);
        if (m_fd >= 0) close(m_fd);
    }
    void Write(analysis::Bytes bytes) override {
        m_size += bytes.size();
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }
    analysis::Bytes Written() override {
        if (m_view) munmap(m_view, m_mapped);
        m_mapped = m_size;
        m_view = mmap(nullptr, m_mapped, PROT_READ, MAP_SHARED, m_fd, 0);
        if (m_view == MAP_FAILED) m_view = nullptr;
        return m_view ? analysis::Bytes(static_cast<const std::uint8_t*>(m_view), m_mapped) : analysis::Bytes{};
    }
    std::uint64_t size() const override { return m_size; }

private:
    int m_fd;
    void* m_view = nullptr;
    std::size_t m_mapped = 0;
    std::uint64_t m_size = 0;
};

// Scans and cleans one file through a read-only mapping, as the engine does.
int Measure(const char* path) {
    const int fd = open(path, O_RDONLY);
    struct stat info{};
    if (fd < 0 || fstat(fd, &info) != 0) return 1;
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) return 1;
    const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(view), size);
    const ChildRun scan = InChild([&] { return analysis::Analyzer().Scan(bytes).code & 0xFF; });
    const ChildRun clean = InChild([&] {
        const std::string copy = std::string(path) + ".cleaned";
        const int code = [&] {
            MappedFileSink out(copy);
            return analysis::Analyzer().Clean(bytes, out).code;
        }();
        std::filesystem::remove(copy);
        return code & 0xFF;
    });
    std::printf("%s: %zu bytes\n  scan  %.3f s (%.0f MB/s), peak private %.1f MiB (resident with the mapped file %.1f MiB), code %d\n"
                "  clean %.3f s, peak private %.1f MiB (resident with the mapped files %.1f MiB), code %d\n",
                path, size, scan.seconds, static_cast<double>(size) / 1e6 / scan.seconds, scan.peakPrivateMiB, scan.peakMiB,
                WEXITSTATUS(scan.status), clean.seconds, clean.peakPrivateMiB, clean.peakMiB, WEXITSTATUS(clean.status));
    munmap(view, size);
    close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hostile") == 0) return Hostile("");
        if (std::strncmp(argv[i], "--hostile=", 10) == 0) return Hostile(argv[i] + 10);
        if (std::strncmp(argv[i], "--write-large=", 14) == 0) return WriteLarge(argv[i] + 14);
        if (std::strncmp(argv[i], "--measure=", 10) == 0) return Measure(argv[i] + 10);
        if (std::strncmp(argv[i], "--write-corpus=", 15) == 0) return WriteCorpus(argv[i] + 15);
        if (std::strncmp(argv[i], "--scan-folder=", 14) == 0) return ScanFolder(argv[i] + 14);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
