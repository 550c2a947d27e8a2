// The fixture of the updater's whole-program tests: a program folder of the test's own with
// zdvshengji.exe (the shipped build, or the test build with short waits), private data folders
// inherited by every program started, the loopback update service, and the updater's window
// read from outside.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "UpdateService.h"
#include "UpdaterTestSupport.h"

namespace updater_test {

enum class Build { kShipped, kQuickWaits };

inline constexpr DWORD kProgramTimeoutMs = 60000;

class UpdaterProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the updater into <root>\<folderName>\ and gives that folder (trailing "\").
    std::wstring Stage(Build build = Build::kShipped, const std::wstring& folderName = L"prog");
    std::unique_ptr<e2e::ChildProcess> Start(const std::wstring& arguments);
    // The process ended within the program timeout.
    static bool Ended(const e2e::ChildProcess& process, DWORD timeoutMs = kProgramTimeoutMs);

    // The updater window of the process once it exists, or nullptr.
    HWND WaitForWindow(const e2e::ChildProcess& process, DWORD timeoutMs = kProgramTimeoutMs);
    static std::wstring StatusText(HWND window);
    static HWND ExitButton(HWND window);
    // Waits until the status text equals text; the texts seen on the way are collected.
    bool WaitForStatus(HWND window, const std::wstring& text, std::vector<std::wstring>* seen = nullptr,
                       DWORD timeoutMs = kProgramTimeoutMs);

    // A valid cache of today: the package in the per-user data folder and its keys.
    void WriteCache(const std::string& package) const;
    [[nodiscard]] bool MarkerPresent(const std::wstring& name) const;
    void Today() const;  // the once-a-day gate: a check already ran today

    UpdateService m_service;
    UpdaterFolders m_folders{m_service, L"tessaly_updprog_"};
    std::wstring m_program;
};

}  // namespace updater_test
