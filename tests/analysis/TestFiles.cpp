#include "TestFiles.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sys/wait.h>

namespace tessaly::testfiles {

TempFolder::TempFolder() {
    std::random_device rd;
    m_path = std::filesystem::temp_directory_path() / ("tessaly-analysis-" + std::to_string(rd()));
    std::filesystem::create_directories(m_path);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path TempFolder::Write(const std::string& name, const analysis::ByteVec& bytes) const {
    const auto file = m_path / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        if (output) output->append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveCommand(const std::string& probe) { return RunCommand(probe + " >/dev/null 2>&1", nullptr) == 0; }

}  // namespace tessaly::testfiles
