// Shared helpers of the common-library tests: a private data folder tree per test run, and
// small file helpers.
#pragma once

#include <string>

namespace testsupport {

// Root of this run's private folders, with a trailing "\"; AppData and ProgramData point below it.
const std::wstring& RunRoot();
// A fresh, empty folder below the run root, with a trailing "\".
std::wstring FreshFolder(const std::wstring& tag);
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// Folder of the running test executable, with a trailing "\".
std::wstring TestBinFolder();

}  // namespace testsupport
