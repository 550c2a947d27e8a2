// Shared helpers of the engine-link tests: an isolated data folder per test run, the staged and
// fake engine folders, files on disk, and the end of every engine the tests started.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ClsPipeShareMem.h"
#include "UniqueHandle.h"

namespace enginelink {

// The run's own temporary root, with a trailing "\"; "ProgramData" and "AppData" point into it.
const std::wstring& TestRoot();
// ..\stage\ beside this test program's folder.
std::wstring StageFolder();
// A fresh folder holding fakeengine.exe as zdvcore.exe and the given fakeengine.cfg text.
std::wstring MakeFakeEngineFolder(const std::string& config);
std::vector<std::string> StartsLogged(const std::wstring& fakeFolder);

std::wstring MarkerPath();
std::wstring ErrLogPath();
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
int CountOccurrences(const std::string& text, const std::string& what);
// A ZIP holding the given (name, content) entries, stored without compression.
std::string MakeStoredZip(const std::vector<std::pair<std::string, std::string>>& entries);

// The process that holds the engine marker now, or an empty handle.
tessaly::unique_kernel_handle MarkerHolder();
DWORD MarkerHolderId();
// Starts a program hidden and without waiting; the handle is kept so the test can end it.
tessaly::unique_kernel_handle StartProcess(const std::wstring& exe);
// Waits (with window events) up to timeoutMs until the marker is there / gone.
bool WaitForMarker(bool present, DWORD timeoutMs);
// Ends every engine this test run started (ask first, then terminate) and waits for its marker.
void EndEngines();

// Sends one request and waits (bounded) for the message that carries the path; "" on time-out.
std::wstring Request(tessaly::ClsPipeShareMem& link, const std::wstring& request, const std::wstring& path,
                     DWORD timeoutMs = 20000);
// Link paths use "/" separators.
std::wstring LinkPath(std::wstring path);

// True when this test program runs elevated, as the engine it starts then does too.
bool TestProcessElevated();
// The smallest [Content_Types].xml of a package.
std::string ContentTypes();

// Tests against the staged engine: every engine ended before and after, a fresh folder for files.
class RealEngineFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void Connect(tessaly::ClsPipeShareMem& link, bool admin = false, int id = 1001);
    // Writes the file into the test's folder and returns its path.
    std::wstring File(const std::wstring& name, const std::string& bytes);
    std::wstring Scan(tessaly::ClsPipeShareMem& link, const std::wstring& path);
    std::wstring Clean(tessaly::ClsPipeShareMem& link, const std::wstring& path);

    tessaly::ClsPipeShareMem m_link{StageFolder()};
    std::wstring m_folder;  // with a trailing ""
};

// Message boxes are recorded, never shown.
struct RecordedBox {
    std::wstring text, caption;
    UINT type = 0;
};
std::vector<RecordedBox>& RecordedBoxes();

}  // namespace enginelink
