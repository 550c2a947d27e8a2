// Folders an Office macro virus likes to live in: the start-up folders and templates folder of the
// installation, the trusted locations of Word and Excel, and the template folders of every user
// profile beside the current one.
#include "modGetOfficeInfo.h"

#include "FaultLog.h"
#include "MSRegistryAPI.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"
#include "modGetOfficeInfo_Text.h"

#include <array>

namespace tessaly {

using namespace office_detail;

namespace {

// Trusted locations are numbered Location0, Location1, ...; the first gap ends the list.
constexpr int kLastTrustedLocation = 100;

// Roots of the template search: the current user's AppData, then the same sub-path under every
// other profile of the profiles folder (drive\profiles\user\rest...). roots already holds the
// current user's root; a fault while listing keeps what was found so far.
void AppendProfileRoots(const std::wstring& appData, TextList& roots) {
    auto parts = SplitText(appData, L'\\');
    if (parts.size() > 1 && parts.back().empty()) parts.pop_back();  // a trailing "\" is no part
    if (parts.size() < 4) return;
    const std::wstring profiles = parts[0] + L"\\" + parts[1] + L"\\";
    std::wstring rest;
    for (size_t i = 3; i < parts.size(); ++i) rest += parts[i] + L"\\";

    WIN32_FIND_DATAW entry{};
    unique_find find(::FindFirstFileW((profiles + L"*.*").c_str(), &entry));
    if (!find) return;
    do {
        // Hidden and system entries ("Default", "All Users") are not profiles one can pass.
        if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) continue;
        const std::wstring name = TrimSpaces(RemoveAll(entry.cFileName, L"\r\n"));
        if (name.empty()) break;
        if (name.front() == L'.') continue;
        AppendToList(roots, profiles + name + L"\\" + rest, true);
    } while (::FindNextFileW(find.get(), &entry));
}

void AppendTrustedLocation(std::wstring location, TextList& found) {
    location = TrimSpaces(location);
    if (!location.empty() && location.front() == L'%') {
        const std::wstring variablePart = TextBefore(location, L'\\');
        const std::wstring value = ReadEnvironment(RemoveAll(variablePart, L"%"));
        if (value.empty()) return;
        location = ReplaceFirst(location, variablePart, value);
    }
    if (location.empty()) return;
    location = ToLowerText(location);
    if (location.back() == L'\\') location.pop_back();
    if (!location.empty() && DirLookup(location, kLookupDirectory)) AppendToList(found, location, true);
}

void CollectTrustedLocations(const std::wstring& majorVersion, TextList& found) {
    const std::wstring keyText = L"Software\\Microsoft\\Office\\" + majorVersion + L".0\\" + kAppNamePlaceholder +
                                 L"\\Security\\Trusted Locations\\Location";
    for (const wchar_t* app : std::array{L"excel", L"word"}) {
        const std::wstring key = ReplaceFirst(keyText, kAppNamePlaceholder, app);
        for (int n = 0; n <= kLastTrustedLocation; ++n) {
            RegValue value;
            if (ReadRegValue(HKEY_CURRENT_USER, key + std::to_wstring(n), L"Path", value) != ERROR_SUCCESS) break;
            if (const auto* text = std::get_if<std::wstring>(&value)) AppendTrustedLocation(*text, found);
        }
    }
}

void CollectInstallFolders(const std::wstring& installFolder, TextList& found) {
    const std::wstring folder = ToLowerText(installFolder);
    for (const wchar_t* name : std::array{L"startup", L"xlstart"}) {
        const std::wstring candidate = folder + name;
        if (DirLookup(candidate, kLookupDirectory)) AppendToList(found, candidate, true);
    }
    // ...\microsoft office\root\office16\ keeps its templates in ...\microsoft office\root\templates.
    // Without an "\office" folder there is no such place; a bare "templates" would name a folder
    // relative to whatever the working folder is.
    const size_t office = folder.find(L"\\office");
    if (office == std::wstring::npos) return;
    const std::wstring templates = folder.substr(0, office + 1) + L"templates";
    if (DirLookup(templates, kLookupDirectory)) AppendToList(found, templates, true);
}

}  // namespace

std::int32_t GetUserTemplateFolders(std::vector<std::wstring>& folders) {
    try {
        const std::wstring appData = ReadEnvironment(L"AppData");
        if (appData.empty() || !DirLookup(appData, kLookupDirectory)) return 0;
        TextList roots;
        AppendToList(roots, WithTrailingSlash(appData), true);
        try {
            AppendProfileRoots(appData, roots);
        } catch (...) {
            LogCaughtFault(L"GetUserTemplateFolders");
        }
        bool added = false;
        for (const std::wstring& root : roots) {
            for (const wchar_t* sub : std::array{L"microsoft\\templates", L"microsoft\\excel", L"microsoft\\word"}) {
                const std::wstring candidate = root + sub;
                if (!DirLookup(candidate, kLookupDirectory)) continue;
                const size_t before = folders.size();
                AppendToList(folders, candidate, true);
                added = added || folders.size() > before;
            }
        }
        return added ? static_cast<std::int32_t>(folders.size()) : 0;
    } catch (...) {
        LogCaughtFault(L"GetUserTemplateFolders");
        return 0;
    }
}

std::int32_t GetOfficeStartupFolders(std::vector<std::wstring>& folders) {
    try {
        OfficeAppInfo info;
        if (!GetOfficeInfo(info) || info.AppName != L"winword") return 0;
        TextList found;
        CollectInstallFolders(info.InstallFolder, found);
        CollectTrustedLocations(info.MajorVersion, found);
        if (found.empty()) return 0;
        folders = std::move(found);
        return static_cast<std::int32_t>(folders.size());
    } catch (...) {
        LogCaughtFault(L"GetOfficeStartupFolders");
        return 0;
    }
}

}  // namespace tessaly
