#include "StagedProgramFolder.h"

#include <windows.h>

#include <filesystem>

#include "ChildProcess.h"
#include "TextFiles.h"

namespace e2e {
namespace {

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH]{};
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full, length) : path;
}

std::wstring BuildStageFolder() { return FullPath(TestProgramFolder() + L"..\\stage\\"); }

}  // namespace

std::wstring TestProgramFolder() {
    wchar_t path[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

StagedProgramFolder::StagedProgramFolder(std::wstring folder, Engine engine, const std::string& fakeConfig)
    : m_folder(std::move(folder)) {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    const std::wstring stage = BuildStageFolder();
    const std::wstring tests = TestProgramFolder();
    for (const wchar_t* name : {L"drossel.exe", L"tessaly.sig", L"zdvguard.exe", L"zdvshengji.exe", L"kestrine.exe"})
        Copy(stage + name, name);
    if (engine == Engine::kStaged) Copy(stage + L"zdvcore.exe", L"zdvcore.exe");
    if (engine == Engine::kFake) {
        Copy(tests + L"fakeengine.exe", L"zdvcore.exe");
        WriteBytes(File(L"fakeengine.cfg"), fakeConfig);
    }
}

StagedProgramFolder::~StagedProgramFolder() { EndPrograms(); }

void StagedProgramFolder::EndPrograms() const { EndProcessesFromFolder(m_folder); }

void StagedProgramFolder::Copy(const std::wstring& from, const std::wstring& name) {
    if (!::CopyFileW(from.c_str(), File(name).c_str(), FALSE))
        m_problem += L"cannot copy " + from + L" (error " + std::to_wstring(::GetLastError()) + L"); ";
}

}  // namespace e2e
