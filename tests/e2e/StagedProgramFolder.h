// A program folder of the test's own: the main program, the guard, the updater, the tray program
// and the signatures copied from the staged build, and the real engine, the fake one or none.
// Every program started from the folder is ended when the object goes.
#pragma once

#include <string>

namespace e2e {

enum class Engine { kStaged, kFake, kMissing };

class StagedProgramFolder {
public:
    // folder: where to build it (created; trailing "\"). fakeConfig: fakeengine.cfg for kFake.
    StagedProgramFolder(std::wstring folder, Engine engine, const std::string& fakeConfig = {});
    ~StagedProgramFolder();
    StagedProgramFolder(const StagedProgramFolder&) = delete;
    StagedProgramFolder& operator=(const StagedProgramFolder&) = delete;

    // False (with Problem() saying why) when a program could not be copied.
    [[nodiscard]] bool Ready() const { return m_problem.empty(); }
    [[nodiscard]] const std::wstring& Problem() const { return m_problem; }
    // With a trailing "\".
    [[nodiscard]] const std::wstring& Folder() const { return m_folder; }
    [[nodiscard]] std::wstring File(const std::wstring& name) const { return m_folder + name; }
    [[nodiscard]] std::wstring Drossel() const { return File(L"drossel.exe"); }
    [[nodiscard]] std::wstring Guard() const { return File(L"zdvguard.exe"); }
    // Ends every program of the folder that still runs (the engine outlives drossel.exe).
    void EndPrograms() const;

private:
    void Copy(const std::wstring& from, const std::wstring& name);

    std::wstring m_folder;
    std::wstring m_problem;
};

// Folder of this test program, with a trailing "\".
std::wstring TestProgramFolder();

}  // namespace e2e
