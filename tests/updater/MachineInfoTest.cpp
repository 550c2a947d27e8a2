// The machine facts: the short and the full query, the program name of an open command, and the
// rules of the Office add-in list read from real registry keys.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <vector>

#include "ClsWMI.h"
#include "IniOperation.h"
#include "PlatformQueries.h"
#include "PrivateDataFolders.h"
#include "UniqueHandle.h"
#include "mdGetMachineInfo.h"
#include "modCommon.h"
#include "modOfficeAddins.h"

using namespace tessaly;
using namespace tessaly::updater;

namespace {

std::vector<std::pair<std::wstring, std::wstring>> Pairs(const std::wstring& query) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find(L'&', start), query.size());
        const std::wstring pair = query.substr(start, end - start);
        const std::size_t equals = pair.find(L'=');
        pairs.emplace_back(pair.substr(0, equals), HexToText(pair.substr(equals + 1)));
        start = end + 1;
    }
    return pairs;
}

// The Addins keys of Word, Excel and PowerPoint under HKEY_CURRENT_USER, removed again at the end.
class AddinKeys {
public:
    AddinKeys() {
        for (const wchar_t* app : {L"Word", L"Excel", L"PowerPoint"}) ::RegDeleteTreeW(HKEY_CURRENT_USER, Key(app).c_str());
    }
    ~AddinKeys() {
        for (const wchar_t* app : {L"Word", L"Excel", L"PowerPoint"}) ::RegDeleteTreeW(HKEY_CURRENT_USER, Key(app).c_str());
    }
    void Add(const wchar_t* app, const std::wstring& name, std::optional<DWORD> behavior,
             const std::wstring& description = L"", const wchar_t* behaviorText = nullptr) {
        unique_hkey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (Key(app) + L"\\" + name).c_str(), 0, nullptr, 0, KEY_WRITE,
                                    nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        if (behavior)
            ::RegSetValueExW(key.get(), L"LoadBehavior", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*behavior),
                             sizeof(DWORD));
        if (behaviorText) SetText(key.get(), L"LoadBehavior", behaviorText);
        if (!description.empty()) SetText(key.get(), L"Description", description);
    }

private:
    static std::wstring Key(const wchar_t* app) { return std::wstring(L"Software\\Microsoft\\Office\\") + app + L"\\Addins"; }
    static void SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
};

}  // namespace

TEST(MachineFacts, ExeNameFromOpenCommands) {
    EXPECT_EQ(GetExeNameFromCommand(L"\"C:\\Program Files\\Browser\\Browse.EXE\" -url \"%1\""), L"browse");
    EXPECT_EQ(GetExeNameFromCommand(L"C:\\Tools\\Viewer.exe %1"), L"viewer");
    // No quotes and no blanks: lower-cased before ".exe" goes, so an upper-case extension goes too.
    EXPECT_EQ(GetExeNameFromCommand(L"C:\\BIN\\FIREFOX.EXE"), L"firefox");
    EXPECT_EQ(GetExeNameFromCommand(L"  notepad.exe  "), L"notepad");
    EXPECT_EQ(GetExeNameFromCommand(L"\"C:\\a.exe.exe\""), L"a");
    EXPECT_EQ(GetExeNameFromCommand(L"\"unclosed quote"), L"unclosed quote");
    EXPECT_EQ(GetExeNameFromCommand(L""), L"");
}

TEST(MachineFacts, ShortFormHasExactlyIdentityAndMajorVersion) {
    testsupport::PrivateDataFolders folders(L"tessaly_facts_");
    ComApartment com;
    ClsWMI wmi;
    const std::wstring config = GetConfigFilePath();
    const auto pairs = Pairs(BuildMachineInfoQuery(false, config, wmi));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].first, L"UUID");
    EXPECT_EQ(pairs[0].second, ReadIniString(config, ini::kGeneral, ini::kInstalledUUID, L"(none)"));
    EXPECT_FALSE(IsInvalidUUID(pairs[0].second));
    EXPECT_EQ(pairs[1].first, L"OSMajorVer");
    EXPECT_EQ(pairs[1].second, std::to_wstring(GetOsMajorVersion()));
    EXPECT_GT(GetOsMajorVersion(), 0);
}

TEST(MachineFacts, FullFormHasElevenFactsInOrder) {
    testsupport::PrivateDataFolders folders(L"tessaly_facts_");
    ComApartment com;
    ClsWMI wmi;
    const auto pairs = Pairs(BuildMachineInfoQuery(true, GetConfigFilePath(), wmi));
    const std::vector<std::wstring> keys{L"UUID", L"OSMajorVer", L"Arch", L"OSName", L"OSVer", L"CPU", L"Resolution",
                                         L"HttpsShellApp", L"DocShellApp", L"DocShellVer", L"OfficeAddins"};
    ASSERT_EQ(pairs.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(pairs[i].first, keys[i]);
        if (keys[i] != L"UUID") {
            EXPECT_FALSE(pairs[i].second.empty()) << keys[i];
        }
    }
    int width = 0, height = 0;
    GetScreenSize(width, height);
    EXPECT_EQ(pairs[6].second, std::to_wstring(width) + L"*" + std::to_wstring(height));
    EXPECT_TRUE(pairs[2].second == L"32" || pairs[2].second == L"64") << pairs[2].second;
}

TEST(MachineFacts, AddinRules) {
    AddinKeys keys;
    EXPECT_EQ(ListMsOfficeAddins(), L"{}");
    keys.Add(L"Word", L"Grammar.Connect", 3, L"");                    // named by its key
    keys.Add(L"Word", L"Off.Connect", 0, L"Switched off");              // LoadBehavior 0
    keys.Add(L"Word", L"NoBehavior.Connect", std::nullopt, L"Missing");  // no LoadBehavior
    keys.Add(L"Word", L"WebPage.Connect", 3);                           // built in by key name
    keys.Add(L"Word", L"OneNote.WordAddinTakeNotesService", 3);         // OneNote left out
    keys.Add(L"Excel", L"PowerView.Connect", 3, L"Microsoft Power View for Excel");  // built in by description
    keys.Add(L"Excel", L"Tools.Connect", 1, L"Quote \" and \\ tools");
    keys.Add(L"PowerPoint", L"Quiet.Connect", 0);
    EXPECT_EQ(ListMsOfficeAddins(),
              L"{\"Word\":[\"Grammar.Connect\"],\"Excel\":[\"Quote \\\" and \\\\ tools\"],\"PowerPoint\":[]}");
    EXPECT_EQ(GetOfficeAddinsJson(L"winword"), ListMsOfficeAddins());
    EXPECT_EQ(GetOfficeAddinsJson(L"moc"), ListMsOfficeAddins());
    // The WPS and Excel applications never read the keys.
    EXPECT_EQ(GetOfficeAddinsJson(L"wps"), L"{}");
    EXPECT_EQ(GetOfficeAddinsJson(L"excel"), L"{}");
    // A LoadBehavior that is no number spoils the whole list.
    keys.Add(L"PowerPoint", L"Broken.Connect", std::nullopt, L"Broken", L"three");
    EXPECT_EQ(ListMsOfficeAddins(), L"{}");
}

TEST(MachineFacts, BuiltinAddinLists) {
    EXPECT_TRUE(IsBuiltinAddin(L"wordeefonts.connect", true));
    EXPECT_TRUE(IsBuiltinAddin(L"WordJPostcardWizard.Connect", true));
    EXPECT_FALSE(IsBuiltinAddin(L"WordJPostcardWizard.Connect", false));
    EXPECT_TRUE(IsBuiltinAddin(L"MICROSOFT POWER PIVOT FOR EXCEL", false));
    EXPECT_FALSE(IsBuiltinAddin(L"Microsoft Power Pivot for Excel", true));
}
