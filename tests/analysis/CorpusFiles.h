// Real documents kept in tests/corpus (saved by Office or other real programs), read whole.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ByteReader.h"

namespace tessaly::testfiles {

inline analysis::ByteVec CorpusFile(const std::string& name) {
    std::ifstream in(std::filesystem::path(TESSALY_CORPUS_DIR) / name, std::ios::binary);
    return analysis::ByteVec((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace tessaly::testfiles
