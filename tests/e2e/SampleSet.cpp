#include "SampleSet.h"

#include <windows.h>

#include <algorithm>

#include "Samples.h"
#include "TextFiles.h"

namespace e2e {
namespace {

using tessaly::fixtures::Sample;

constexpr std::size_t kSmallestSent = 100;

bool HasHeader(const tessaly::fixtures::ByteVec& bytes, std::initializer_list<unsigned char> header) {
    return bytes.size() >= header.size() && std::equal(header.begin(), header.end(), bytes.begin());
}

bool IsPackageExtension(const std::string& name) {
    const std::string ext = name.substr(name.find_last_of('.'));
    for (const char* package : {".docm", ".dotm", ".docx", ".xlsm", ".xlam", ".xlsx"})
        if (ext == package) return true;
    return false;
}

// What the client sends to the engine from a path given on the command line (no extension test).
bool ReachesEngine(const Sample& sample) {
    if (sample.bytes.size() < kSmallestSent) return false;
    return IsPackageExtension(sample.fileName) || HasHeader(sample.bytes, {0xD0, 0xCF, 0x11, 0xE0}) ||
           HasHeader(sample.bytes, {0x50, 0x4B, 0x03, 0x04});
}

void Count(const Sample& sample, const std::wstring& path, ExpectedScan& expected) {
    ++expected.files;
    if (!ReachesEngine(sample)) return;
    switch (sample.expectedScanCode) {
    case 2: ++expected.viruses; expected.infectedPaths.push_back(path); break;
    case 50: ++expected.suspected; expected.suspectedPaths.push_back(path); break;
    case 51: ++expected.encrypted; break;
    case 52: ++expected.damaged; break;
    default: break;
    }
}

void Write(const std::wstring& folder, const Sample& sample, ExpectedScan& expected) {
    const std::wstring path = folder + std::wstring(sample.fileName.begin(), sample.fileName.end());
    WriteBytes(path, std::string(sample.bytes.begin(), sample.bytes.end()));
    Count(sample, path, expected);
}

}  // namespace

ExpectedScan WriteSampleSet(const std::wstring& folder) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ExpectedScan expected;
    for (const Sample& sample : tessaly::fixtures::StandardSamples()) Write(folder, sample, expected);
    return expected;
}

ExpectedScan WriteSample(const std::wstring& folder, const std::string& fileName) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ExpectedScan expected;
    for (const Sample& sample : tessaly::fixtures::StandardSamples())
        if (sample.fileName == fileName) Write(folder, sample, expected);
    return expected;
}

}  // namespace e2e
