// Temporary folders and files for the tests that hand documents to outside readers.
#pragma once

#include <filesystem>
#include <string>

#include "ByteReader.h"

namespace tessaly::testfiles {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path Write(const std::string& name, const analysis::ByteVec& bytes) const;

private:
    std::filesystem::path m_path;
};

// Runs a shell command, returning its exit code and standard output.
int RunCommand(const std::string& command, std::string* output);
bool HaveCommand(const std::string& probe);

}  // namespace tessaly::testfiles
