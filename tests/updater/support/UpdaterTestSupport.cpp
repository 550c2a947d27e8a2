// Shared test helpers of the updater; see UpdaterTestSupport.h.
#include "UpdaterTestSupport.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "DoubleSupport.h"
#include "IniOperation.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace updater_test {
namespace {

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH]{};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

}  // namespace

bool RecordingUi::Saw(const std::wstring& text) const {
    return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
}

std::wstring TestBinFolder() { return ExeFolder(); }

std::wstring StageFolder() {
    wchar_t full[MAX_PATH]{};
    ::GetFullPathNameW((ExeFolder() + L"..\\stage\\").c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::string ReadFileBytes(const std::wstring& path) { return doubles::ReadBytes(path); }

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    doubles::WriteBytes(path, bytes);
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path) { return doubles::Utf8Lines(doubles::ReadBytes(path)); }

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string PackageBytes(std::size_t size) {
    std::string bytes = ReadFileBytes(TestBinFolder() + L"updater_testpackage.exe");
    if (bytes.empty() || bytes.size() > size) return InertBytes(size);
    for (std::size_t i = bytes.size(); i < size; ++i) bytes += static_cast<char>('a' + i % 26);
    return bytes;
}

std::string InertBytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u;
    for (char& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<char>(state & 0xFF);
    }
    return bytes;
}

std::string AnswerJson(const std::string& code, const std::string& data) {
    return "{\"message\":\"ok\",\"code\":" + code + ",\"data\":" + data + "}";
}

std::string ActionJson(const std::string& action) { return AnswerJson("1", "{\"action\":\"" + action + "\"}"); }

std::string OfferJson(const UpdateService& service, const std::string& package, const Offer& offer) {
    const std::string size = offer.size.value_or(std::to_string(package.size()));
    const std::string hash = offer.hash.value_or(Md5Of(package));
    const std::string url = offer.packageUrl.value_or(HexOf(tessaly::WideToUtf8(service.PackageUrl())));
    return AnswerJson("1", "{\"action\":\"33\",\"updateinfo\":{\"ver\":\"" + offer.version + "\",\"size\":" + size +
                               ",\"hash\":\"" + hash + "\",\"packageurl\":\"" + url +
                               "\",\"reinstall\":" + offer.reinstall + "}}");
}

UpdaterFolders::UpdaterFolders(const UpdateService& service, const std::wstring& prefix) : m_folders(prefix, true) {
    Set(tessaly::ini::kGeneral, tessaly::ini::kUpdateURL, service.UpdateUrl());
    Set(tessaly::ini::kGeneral, tessaly::ini::kWebServerHost, L"http://127.0.0.1");
}

std::vector<std::wstring> UpdaterFolders::PackageRuns() const {
    return ReadUtf8Lines(CommonDataFolder() + L"testpackage.log");
}

std::vector<std::wstring> UpdaterFolders::AgentLog() const { return ReadUtf8Lines(CommonDataFolder() + L"testagent.log"); }

void UpdaterFolders::SetPackageDouble(const std::string& settings) const {
    WriteFileBytes(CommonDataFolder() + L"testpackage.cfg", settings);
}

void UpdaterFolders::SetAgentDouble(const std::string& settings) const {
    WriteFileBytes(CommonDataFolder() + L"testagent.cfg", settings);
}

std::wstring UpdaterFolders::Setting(const std::wstring& section, const std::wstring& key) const {
    return tessaly::ReadIniString(ConfigFile(), section, key, L"(missing)");
}

void UpdaterFolders::Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) const {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(ConfigFile()).parent_path(), ignored);
    tessaly::WriteIniString(ConfigFile(), section, key, value);
}

}  // namespace updater_test
