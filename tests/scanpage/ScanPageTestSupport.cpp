#include "ScanPageTestSupport.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>

#include "ClsPathLib.h"
#include "TextConvert.h"
#include "UniqueHandle.h"

namespace tessaly::test {

namespace {

std::wstring ReadEnv(const wchar_t* name) {
    wchar_t buffer[1024]{};
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

void MakeParents(const std::wstring& path) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
}

}  // namespace

void ScanPageFolderTest::SetUp() {
    static std::atomic<int> serial{0};
    wchar_t temp[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, temp);
    m_root = std::wstring(temp) + L"sp" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
             std::to_wstring(serial++) + L"\\";
    MakeParents(m_root);
    m_oldAppData = ReadEnv(L"AppData");
    m_oldProgramData = ReadEnv(L"ProgramData");
    MakeDir(L"appdata");
    MakeDir(L"programdata");
    ::SetEnvironmentVariableW(L"AppData", Path(L"appdata").c_str());
    ::SetEnvironmentVariableW(L"ProgramData", Path(L"programdata").c_str());
}

void ScanPageFolderTest::TearDown() {
    ::SetEnvironmentVariableW(L"AppData", m_oldAppData.c_str());
    ::SetEnvironmentVariableW(L"ProgramData", m_oldProgramData.c_str());
    ClsPathLib pathLib;
    pathLib.DeleteFolder(m_root.substr(0, m_root.size() - 1), false);
}

void ScanPageFolderTest::WriteFile(const std::wstring& relative, const std::string& bytes) const {
    const std::wstring path = Path(relative);
    MakeParents(path);
    unique_file file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << WideToUtf8(path);
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void ScanPageFolderTest::MakeDir(const std::wstring& relative) const {
    MakeParents(Path(relative) + L"\\");
}

std::string ScanPageFolderTest::ReadBytes(const std::wstring& path) const {
    unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

std::string FileBytes(const std::string& head, std::size_t size) {
    std::string bytes = head.substr(0, size);
    bytes.resize(size, 'x');
    return bytes;
}

std::string Ole2Header() { return std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8); }
std::string ZipHeader() { return std::string("PK\x03\x04", 4); }

long RecordingView::AddRow(const std::wstring& text, const std::wstring& tag, long color) {
    rows.push_back(RecordedRow{text, tag, color});
    return static_cast<long>(rows.size()) - 1;
}

void RecordingView::UpdateRow(long index, const std::wstring& mainText, const std::wstring& tag, long color) {
    if (index < 0 || index >= static_cast<long>(rows.size())) return;
    RecordedRow& row = rows[static_cast<std::size_t>(index)];
    if (!mainText.empty()) row.text = mainText;
    if (!tag.empty()) row.tag = tag;
    if (color != 0) row.color = color;
}

bool ScriptedLink::SendMsgToUTF8HexStr(const std::wstring& text) {
    if (!acceptSends) return false;
    sent.push_back(text);
    if (m_responder)
        for (std::wstring& message : m_responder(text)) m_queue.push_back(std::move(message));
    return true;
}

std::wstring ScriptedLink::NextMessage() {
    if (m_queue.empty()) return {};
    std::wstring message = std::move(m_queue.front());
    m_queue.pop_front();
    return message;
}

ScriptedLink::Responder ReplyByName(std::function<std::wstring(const std::wstring& enginePath)> answer) {
    return [answer = std::move(answer)](const std::wstring& request) -> std::vector<std::wstring> {
        if (request.starts_with(L"SCAN::")) {
            const std::wstring path = request.substr(6);
            return {L"R_SCAN::" + answer(path) + L"::" + path};
        }
        if (request.starts_with(L"CLEAN::")) {
            const std::wstring path = request.substr(7);
            return {L"R_CLEAN::1::ok::" + path};
        }
        return {};
    };
}

RequestEngineOptions QuickRequestOptions(std::int32_t polls) {
    RequestEngineOptions options;
    options.polls = polls;
    options.pollSleepMs = 0;
    options.pumpEvents = [] {};
    return options;
}

}  // namespace tessaly::test
