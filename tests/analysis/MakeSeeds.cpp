// Writes the fuzzer's seed corpus: the standard samples and those of the other formats, one file
// each.
#include <filesystem>
#include <fstream>

#include "FormatSamples.h"
#include "Samples.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::filesystem::create_directories(argv[1]);
    auto samples = tessaly::fixtures::StandardSamples();
    for (auto& s : tessaly::fixtures::FormatSamples()) samples.push_back(std::move(s));
    for (const auto& s : samples) {
        std::ofstream out(std::filesystem::path(argv[1]) / s.fileName, std::ios::binary);
        out.write(reinterpret_cast<const char*>(s.bytes.data()), static_cast<std::streamsize>(s.bytes.size()));
    }
    return 0;
}
