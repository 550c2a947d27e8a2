// Test environment of the engine-link tests and the helpers they share.
#include "EngineLinkSupport.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "BoundedPoll.h"
#include "EngineLinkMessages.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace enginelink {
namespace {

std::wstring ExeFolder() { return tessaly::GetAppFolder(); }

std::set<DWORD>& StartedEngines() {
    static std::set<DWORD> ids;
    return ids;
}

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    RecordedBoxes().push_back({text ? text : L"", caption ? caption : L"", type});
    return IDOK;
}

std::wstring MakeRoot() {
    wchar_t temp[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring root = std::wstring(temp) + L"enginelink_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                        std::to_wstring(::GetTickCount64()) + L"\\";
    ::SHCreateDirectoryExW(nullptr, (root + L"ProgramData").c_str(), nullptr);
    ::SHCreateDirectoryExW(nullptr, (root + L"AppData").c_str(), nullptr);
    return root;
}

void RemoveTree(const std::wstring& folder) {
    std::wstring from = folder;
    if (!from.empty() && from.back() == L'\\') from.pop_back();
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

class EngineLinkEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ::SetEnvironmentVariableW(L"ProgramData", (TestRoot() + L"ProgramData").c_str());
        ::SetEnvironmentVariableW(L"AppData", (TestRoot() + L"AppData").c_str());
        tessaly::ClsPipeShareMem::SetMessageBoxFunction(&RecordBox);
    }
    void TearDown() override {
        EndEngines();
        RemoveTree(TestRoot());
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new EngineLinkEnvironment);

std::uint32_t Crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Put16(std::string& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

const std::wstring& TestRoot() {
    static const std::wstring root = MakeRoot();
    return root;
}

std::wstring StageFolder() {
    const std::wstring relative = ExeFolder() + L"..\\stage\\";
    wchar_t full[MAX_PATH * 2]{};
    const DWORD n = ::GetFullPathNameW(relative.c_str(), static_cast<DWORD>(std::size(full)), full, nullptr);
    return n > 0 && n < std::size(full) ? std::wstring(full, n) : relative;
}

std::wstring MakeFakeEngineFolder(const std::string& config) {
    static int counter = 0;
    const std::wstring folder = TestRoot() + L"fake" + std::to_wstring(++counter) + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CopyFileW((ExeFolder() + L"fakeengine.exe").c_str(), (folder + L"zdvcore.exe").c_str(), FALSE);
    WriteFileBytes(folder + L"fakeengine.cfg", config);
    return folder;
}

std::vector<std::string> StartsLogged(const std::wstring& fakeFolder) {
    std::istringstream in(ReadFileBytes(fakeFolder + L"starts.log"));
    std::vector<std::string> ids;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        ids.push_back(line);
        StartedEngines().insert(static_cast<DWORD>(std::strtoul(line.c_str(), nullptr, 10)));
    }
    return ids;
}

std::wstring MarkerPath() { return tessaly::GetCommonDataFolder() + L"zdvcore.run"; }
std::wstring ErrLogPath() { return tessaly::GetCommonDataFolder() + L"PIPE_.err"; }

std::string ReadFileBytes(const std::wstring& path) {
    tessaly::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string out;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) out.append(buffer, read);
    return out;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    tessaly::unique_file file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int CountOccurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

std::string MakeStoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string out, central;
    for (const auto& [name, content] : entries) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = Crc32(content);
        Put32(out, 0x04034b50);
        Put16(out, 20); Put16(out, 0); Put16(out, 0); Put16(out, 0); Put16(out, 0x21);
        Put32(out, crc); Put32(out, static_cast<std::uint32_t>(content.size()));
        Put32(out, static_cast<std::uint32_t>(content.size()));
        Put16(out, static_cast<unsigned>(name.size())); Put16(out, 0);
        out += name + content;
        Put32(central, 0x02014b50);
        Put16(central, 20); Put16(central, 20); Put16(central, 0); Put16(central, 0); Put16(central, 0);
        Put16(central, 0x21); Put32(central, crc); Put32(central, static_cast<std::uint32_t>(content.size()));
        Put32(central, static_cast<std::uint32_t>(content.size()));
        Put16(central, static_cast<unsigned>(name.size())); Put16(central, 0); Put16(central, 0);
        Put16(central, 0); Put16(central, 0); Put32(central, 0); Put32(central, offset);
        central += name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    Put32(out, 0x06054b50);
    Put16(out, 0); Put16(out, 0);
    Put16(out, static_cast<unsigned>(entries.size())); Put16(out, static_cast<unsigned>(entries.size()));
    Put32(out, static_cast<std::uint32_t>(central.size())); Put32(out, centralOffset); Put16(out, 0);
    return out;
}

DWORD MarkerHolderId() {
    const std::string digits = ReadFileBytes(MarkerPath());
    return static_cast<DWORD>(std::strtoul(digits.c_str(), nullptr, 10));
}

tessaly::unique_kernel_handle MarkerHolder() {
    const DWORD id = MarkerHolderId();
    if (id == 0) return {};
    StartedEngines().insert(id);
    return tessaly::unique_kernel_handle(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
}

tessaly::unique_kernel_handle StartProcess(const std::wstring& exe) {
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return {};
    tessaly::ProcessHandles handles = tessaly::TakeProcessHandles(info);
    StartedEngines().insert(handles.processId);
    return std::move(handles.process);
}

bool WaitForMarker(bool present, DWORD timeoutMs) {
    return tessaly::PollUntil([present] { return tessaly::IsRunMarkerPresent(L"zdvcore", L"") == present; },
                              tessaly::PollPlan{timeoutMs, 5}) == tessaly::PollResult::Done;
}

void EndEngines() {
    // Only engines of this run: the marker lives in the run's own data folder.
    if (tessaly::IsRunMarkerPresent(L"zdvcore", L"")) MarkerHolder();
    for (DWORD id : StartedEngines()) {
        tessaly::unique_kernel_handle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
        if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
    StartedEngines().clear();
    WaitForMarker(false, 5000);
}

std::wstring LinkPath(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'\\') c = L'/';
    return path;
}

std::wstring Request(tessaly::ClsPipeShareMem& link, const std::wstring& request, const std::wstring& path,
                     DWORD timeoutMs) {
    if (!link.SendMsgToUTF8HexStr(request)) return L"<not taken>";
    std::wstring found;
    tessaly::PollUntil(
        [&] {
            std::wstring message;
            if (link.RecvMsgFromUTF8encoding(message, true) > 0 && message.find(L"::") != std::wstring::npos &&
                (message.find(path) != std::wstring::npos || tessaly::IsEngineExitText(message)))
                found = message;
            return !found.empty();
        },
        tessaly::PollPlan{timeoutMs});
    return found;
}

bool TestProcessElevated() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    const tessaly::unique_kernel_handle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated;
}

std::string ContentTypes() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
           "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default Extension=\"xml\" "
           "ContentType=\"application/xml\"/></Types>";
}

void RealEngineFixture::SetUp() {
    static int counter = 0;
    EndEngines();
    m_folder = TestRoot() + L"docs_" + std::to_wstring(++counter) + L"\\";
    ::CreateDirectoryW(m_folder.c_str(), nullptr);
}

void RealEngineFixture::TearDown() { EndEngines(); }

void RealEngineFixture::Connect(tessaly::ClsPipeShareMem& link, bool admin, int id) {
    ASSERT_TRUE(link.ConnectPipeServer(admin, id));
    MarkerHolder();
}

std::wstring RealEngineFixture::File(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = m_folder + name;
    WriteFileBytes(path, bytes);
    return path;
}

std::wstring RealEngineFixture::Scan(tessaly::ClsPipeShareMem& link, const std::wstring& path) {
    return Request(link, L"SCAN::" + LinkPath(path), LinkPath(path));
}

std::wstring RealEngineFixture::Clean(tessaly::ClsPipeShareMem& link, const std::wstring& path) {
    return Request(link, L"CLEAN::" + LinkPath(path), LinkPath(path));
}

std::vector<RecordedBox>& RecordedBoxes() {
    static std::vector<RecordedBox> boxes;
    return boxes;
}

}  // namespace enginelink
