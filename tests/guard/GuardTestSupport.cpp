// The guard tests' shared pieces; see GuardTestSupport.h.
#include "GuardTestSupport.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FaultLog.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly::test {
namespace {

constexpr DWORD kEndTimeoutMs = 10000;

}  // namespace

std::wstring TestProgramFolder() {
    wchar_t path[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path);
    return self.substr(0, self.find_last_of(L'\\') + 1);
}

std::wstring OwnErrorLogText() {
    std::ifstream log(std::filesystem::path(GetCommonDataFolder() + ProgramErrLogName() + L".err"), std::ios::binary);
    std::stringstream bytes;
    bytes << log.rdbuf();
    return Utf8ToWide(bytes.str());
}

OfficeProgram::OfficeProgram(const std::wstring& path) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (!::CopyFileW((TestProgramFolder() + L"office_standin.exe").c_str(), path.c_str(), FALSE)) return;
    std::wstring command = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    ProcessHandles handles = TakeProcessHandles(info);
    m_process = std::move(handles.process);
    m_id = handles.processId;
}

OfficeProgram::~OfficeProgram() {
    if (Running() && !End()) ::TerminateProcess(m_process.get(), 1);
}

bool OfficeProgram::Running() const {
    return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

bool OfficeProgram::End() {
    if (!m_process) return false;
    const std::wstring name = L"tessaly_office_standin_" + std::to_wstring(m_id);
    // The program may not have made its event yet: the same name makes it here, already set.
    unique_kernel_handle quit(::CreateEventW(nullptr, TRUE, TRUE, name.c_str()));
    if (quit) ::SetEvent(quit.get());
    return ::WaitForSingleObject(m_process.get(), kEndTimeoutMs) == WAIT_OBJECT_0;
}

AutomationOnlyOffice::AutomationOnlyOffice(const std::wstring& localServer)
    : m_xlsx(L".xlsx", L"TessalyTest.Excel", L"\"%ProgramFiles%\\Microsoft Office\\Office16\\EXCEL.EXE\" \"%1\""),
      m_progId(HKEY_CLASSES_ROOT, kExcelProgId),
      m_class(HKEY_CLASSES_ROOT, kStandInExcelClassKey) {
    SetRegText(HKEY_CLASSES_ROOT, std::wstring(kExcelProgId) + L"\\CLSID", L"",
               std::wstring(kStandInExcelClassKey).substr(6));
    if (!localServer.empty())
        SetRegText(HKEY_CLASSES_ROOT, std::wstring(kStandInExcelClassKey) + L"\\LocalServer32", L"",
                   L"\"" + localServer + L"\"");
}

ServedAutomation::ServedAutomation(const std::wstring& folder, AutomationHooks hooks) {
    IClassFactory* factory = NewAutomationFactory(folder, std::move(hooks));
    if (FAILED(::CoRegisterClassObject(kStandInExcelClassId, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                       &m_cookie)))
        m_cookie = 0;
    factory->Release();
}

ServedAutomation::~ServedAutomation() {
    if (m_cookie) ::CoRevokeClassObject(m_cookie);
}

}  // namespace tessaly::test
