// Writes the fuzzer's seed corpus: the standard samples, one file each.
#include <filesystem>
#include <fstream>

#include "Samples.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::filesystem::create_directories(argv[1]);
    for (const auto& s : tessaly::fixtures::StandardSamples()) {
        std::ofstream out(std::filesystem::path(argv[1]) / s.fileName, std::ios::binary);
        out.write(reinterpret_cast<const char*>(s.bytes.data()), static_cast<std::streamsize>(s.bytes.size()));
    }
    return 0;
}
