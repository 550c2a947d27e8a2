// Writes the fuzzer's seed corpus: the standard samples, those of the other formats, small
// versions of the hostile files and the crafted ones, one file each.
#include <filesystem>
#include <fstream>

#include "CraftedDocuments.h"
#include "FormatSamples.h"
#include "HostileDocuments.h"
#include "Samples.h"

namespace {

void WriteSeed(const std::filesystem::path& folder, const std::string& name, const tessaly::fixtures::ByteVec& bytes) {
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    for (const auto& s : tessaly::fixtures::StandardSamples()) WriteSeed(folder, s.fileName, s.bytes);
    for (const auto& s : tessaly::fixtures::FormatSamples()) WriteSeed(folder, s.fileName, s.bytes);
    // Small enough for the fuzzer's input size limit, costly enough to keep the budgets honest.
    for (const auto& s : tessaly::fixtures::HostileSamples(0.03)) WriteSeed(folder, s.fileName, s.bytes);
    for (const auto& s : tessaly::fixtures::CraftedSamples()) WriteSeed(folder, s.fileName, s.bytes);
    return 0;
}
