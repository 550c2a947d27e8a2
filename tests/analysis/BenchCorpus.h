// The benchmark corpus: the sample set varied in text, module count and size, a few thousand
// documents in the mix a user's disk has (mostly clean, some with macros, a few broken).
#pragma once

#include <vector>

#include "Samples.h"

namespace tessaly::testfiles {

inline std::vector<fixtures::Sample> BenchCorpus(std::size_t count) {
    using namespace fixtures;
    std::vector<Sample> corpus;
    const std::vector<Sample> base = StandardSamples();
    for (std::size_t i = 0; corpus.size() < count; ++i) {
        const std::string text = "Paragraph " + std::to_string(i) + std::string(200 + (i * 37) % 3000, 'x');
        switch (i % 8) {
            case 0: corpus.push_back({"c" + std::to_string(i) + ".docx", 0, MakePackage({.text = text})}); break;
            case 1: corpus.push_back({"c" + std::to_string(i) + ".doc", 0, MakeDoc({.text = text})}); break;
            case 2: corpus.push_back({"c" + std::to_string(i) + ".xlsx", 0, MakePackage({.kind = PackageKind::kExcel, .text = text})}); break;
            case 3: corpus.push_back({"c" + std::to_string(i) + ".xls", 0, MakeXls()}); break;
            default: {
                const Sample& s = base[i % base.size()];
                corpus.push_back({"s" + std::to_string(i) + "-" + s.fileName, s.expectedScanCode, s.bytes});
            }
        }
    }
    return corpus;
}

}  // namespace tessaly::testfiles
