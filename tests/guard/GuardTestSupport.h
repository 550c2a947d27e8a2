// Pieces the guard's tests share: the office stand-in started under an office program's name
// and ended like a closed program, and the error log of this test program.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "UniqueHandle.h"

namespace tessaly::test {

// A copy of office_standin.exe at path (its folder created), started at once; the program ends
// when End() sets its event or when the object goes.
class OfficeProgram {
public:
    explicit OfficeProgram(const std::wstring& path);
    ~OfficeProgram();
    OfficeProgram(const OfficeProgram&) = delete;
    OfficeProgram& operator=(const OfficeProgram&) = delete;

    [[nodiscard]] bool Running() const;
    [[nodiscard]] DWORD Id() const noexcept { return m_id; }
    // Ends it cleanly and waits (bounded) until the process is gone; true when it is.
    bool End();

private:
    unique_kernel_handle m_process;
    DWORD m_id = 0;
};

// Folder of the test programs, with a trailing "\".
std::wstring TestProgramFolder();
// What this program wrote to its error log in the per-machine data folder ("" when nothing).
std::wstring OwnErrorLogText();

}  // namespace tessaly::test
