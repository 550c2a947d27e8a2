// The standard sample documents written into a folder, with what a scan of that folder must
// count: every file is looked at, only documents that pass the client's size and header test
// reach the engine, and the engine's answers make the other counters.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct ExpectedScan {
    int files = 0;
    int viruses = 0;
    int suspected = 0;
    int encrypted = 0;
    int damaged = 0;
    std::vector<std::wstring> infectedPaths;   // in the folder as written
    std::vector<std::wstring> suspectedPaths;
};

// Writes the samples into folder (trailing "\"); what a scan of the folder must find.
ExpectedScan WriteSampleSet(const std::wstring& folder);
// Writes the one sample of that name; what a scan of that file alone must find.
ExpectedScan WriteSample(const std::wstring& folder, const std::string& fileName);

}  // namespace e2e
