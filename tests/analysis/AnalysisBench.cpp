// Analysis throughput over a generated corpus, in memory (Google Benchmark) and as a whole run
// over files on disk (--write-corpus=DIR, then --scan-folder=DIR), the way clamscan is timed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Analyzer.h"
#include "BenchCorpus.h"

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

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--write-corpus=", 15) == 0) return WriteCorpus(argv[i] + 15);
        if (std::strncmp(argv[i], "--scan-folder=", 14) == 0) return ScanFolder(argv[i] + 14);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
