// Pieces the guard's tests share: the office stand-in started under an office program's name
// and ended like a closed program, an Office that discovery can only ask through its automation
// object, and the error log of this test program.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "OfficeAutomationStandIn.h"
#include "OfficeTestSupport.h"
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

// An office installation that Office discovery can only ask through "Excel.Application": no
// document association but an ".xlsx" command whose "%ProgramFiles%" was stored unexpanded (so its
// program has no version to read), and the stand-in's class under that name. With a localServer
// COM starts that program to serve the class; without, a test serves it (ServedAutomation).
class AutomationOnlyOffice {
public:
    explicit AutomationOnlyOffice(const std::wstring& localServer = {});

private:
    NoAssociations m_noAssociations;
    Association m_xlsx;
    RegistryKeyGuard m_progId;
    RegistryKeyGuard m_class;
};

// The stand-in's class object served on this thread while the object lives.
class ServedAutomation {
public:
    ServedAutomation(const std::wstring& folder, AutomationHooks hooks);
    ~ServedAutomation();
    ServedAutomation(const ServedAutomation&) = delete;
    ServedAutomation& operator=(const ServedAutomation&) = delete;
    [[nodiscard]] bool Served() const noexcept { return m_cookie != 0; }

private:
    ComApartment m_com;
    DWORD m_cookie = 0;
};

// Folder of the test programs, with a trailing "\".
std::wstring TestProgramFolder();
// What this program wrote to its error log in the per-machine data folder ("" when nothing).
std::wstring OwnErrorLogText();

}  // namespace tessaly::test
