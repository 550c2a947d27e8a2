// What the updater's tests share: a window stand-in that records statuses and answers questions,
// packages made of the test package program, answers of the update service, files and folders.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "PrivateDataFolders.h"
#include "UpdateService.h"
#include "UpdateUi.h"

namespace updater_test {

// Records every status text and question; answers questions from a list (No when it is used up).
class RecordingUi final : public tessaly::updater::UpdateUi {
public:
    void Show(const std::wstring& text) override { statuses.push_back(text); }
    bool AskYesNo(const std::wstring& text, const std::wstring& title) override {
        questions.push_back(title + L"|" + text);
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    [[nodiscard]] std::wstring Last() const { return statuses.empty() ? std::wstring() : statuses.back(); }
    [[nodiscard]] bool Saw(const std::wstring& text) const;

    std::vector<std::wstring> statuses;
    std::vector<std::wstring> questions;
    std::deque<bool> answers;
};

// Folder of the test programs (testbin), with a trailing "\".
std::wstring TestBinFolder();
// The staged program folder of the build (stage), with a trailing "\".
std::wstring StageFolder();
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path);
std::wstring Widen(const std::string& ascii);

// The test package program padded to `size` bytes (it still runs); plain bytes when size is
// smaller than the program.
std::string PackageBytes(std::size_t size);
// Bytes that are no program.
std::string InertBytes(std::size_t size);

// The JSON texts the update service answers with.
std::string AnswerJson(const std::string& code, const std::string& data);
std::string ActionJson(const std::string& action);
struct Offer {
    std::string version = "2021.3.1";
    std::optional<std::string> size;        // JSON text of the size member; default: the package's size
    std::optional<std::string> hash;        // the text of the hash member; default: the package's MD5
    std::optional<std::string> packageUrl;  // the text of the packageurl member; default: the service's, hex
    std::string reinstall = "0";
};
std::string OfferJson(const UpdateService& service, const std::string& package, const Offer& offer = {});

// Private AppData, ProgramData and TEMP with a config.dat that points the update URL and the
// network probe at the service.
class UpdaterFolders {
public:
    explicit UpdaterFolders(const UpdateService& service, const std::wstring& prefix = L"tessaly_upd_");
    [[nodiscard]] std::wstring Root() const { return m_folders.Root(); }
    [[nodiscard]] std::wstring ConfigFile() const { return m_folders.ConfigFile(); }
    [[nodiscard]] std::wstring CommonDataFolder() const { return m_folders.CommonDataFolder(); }
    [[nodiscard]] std::wstring UserDataFolder() const { return m_folders.Root() + L"AppData\\Tessaly\\"; }
    [[nodiscard]] std::wstring TempFolder() const { return m_folders.Root() + L"Temp\\"; }
    [[nodiscard]] std::wstring UpdateTempFolder() const { return TempFolder() + L"zdvupdate_tmp\\"; }
    // Lines the package and the agent doubles recorded.
    [[nodiscard]] std::vector<std::wstring> PackageRuns() const;
    [[nodiscard]] std::vector<std::wstring> AgentLog() const;
    void SetPackageDouble(const std::string& settings) const;
    void SetAgentDouble(const std::string& settings) const;
    [[nodiscard]] std::wstring Setting(const std::wstring& section, const std::wstring& key) const;
    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) const;

private:
    testsupport::PrivateDataFolders m_folders;
};

}  // namespace updater_test
