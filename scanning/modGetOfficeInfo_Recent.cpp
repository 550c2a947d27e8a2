// Recently used documents of Microsoft Office (the "File MRU" lists of Word and Excel) and of
// WPS Office (its "RecentFiles" sequences), as far as the files are still there.
#include "modGetOfficeInfo.h"

#include "FaultLog.h"
#include "MSRegistryAPI.h"
#include "TextConvert.h"
#include "modCommon.h"
#include "modGetOfficeInfo_Text.h"

#include <algorithm>
#include <array>

namespace tessaly {

using namespace office_detail;

namespace {

constexpr wchar_t kWpsRoot[] = L"Software\\Kingsoft\\Office";

std::vector<RegValueEntry> ListValues(const std::wstring& key) {
    DWORD lastType = 0;
    std::int32_t count = 0;
    return EnumRegValues(HKEY_CURRENT_USER, key, true, lastType, count);
}

// "[F00000000][T01D...][O00000000]*c:\docs\a.docx" names the document after its first "*".
void CollectMruValue(const RegValueEntry& value, TextList& found) {
    if (!StartsWithNoCase(value.name, L"item")) return;
    const std::wstring data = ToLowerText(value.data.value_or(L""));
    const size_t star = data.find(L'*');
    const std::wstring path = star == std::wstring::npos ? data : data.substr(star + 1);
    if (!path.empty() && DirLookup(path)) AppendToList(found, path, true);
}

// WPS keeps the document path in the value's name, written with "/".
void CollectWpsValue(const RegValueEntry& value, TextList& found) {
    std::wstring path = ToLowerText(value.name);
    if (path.find(L'/') == std::wstring::npos) return;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (DirLookup(path)) AppendToList(found, path, true);
}

template <typename Collect>
void CollectFromKey(const std::wstring& key, TextList& found, Collect collect) {
    for (const RegValueEntry& value : ListValues(key)) {
        try {
            collect(value, found);
        } catch (...) {
            // One unreadable value does not spoil the others.
            LogCaughtFault(L"CollectFromKey");
        }
    }
}

std::int32_t HandOver(TextList& found, std::vector<std::wstring>& files) {
    if (found.empty()) return 0;
    files = std::move(found);
    return static_cast<std::int32_t>(files.size());
}

// The first sub-key that looks like a version ("11.1.0"); "" when there is none.
std::wstring FindWpsVersionKey() {
    std::int32_t count = 0;
    for (const std::wstring& name : EnumRegSubKeys(HKEY_CURRENT_USER, kWpsRoot, count)) {
        if (!name.empty() && name.front() >= L'0' && name.front() <= L'9' && name.find(L'.') != std::wstring::npos) return name;
    }
    return {};
}

}  // namespace

std::int32_t GetOfficeMruFiles(std::vector<std::wstring>& files) {
    try {
        OfficeAppInfo info;
        if (!GetOfficeInfo(info) || info.AppName != L"winword") return 0;
        const std::wstring keyText =
            L"Software\\Microsoft\\Office\\" + info.MajorVersion + L".0\\" + kAppNamePlaceholder + L"\\File MRU";
        TextList found;
        for (const wchar_t* app : std::array{L"excel", L"word"})
            CollectFromKey(ReplaceFirst(keyText, kAppNamePlaceholder, app), found, CollectMruValue);
        return HandOver(found, files);
    } catch (...) {
        LogCaughtFault(L"GetOfficeMruFiles");
        return 0;
    }
}

std::int32_t GetWpsRecentFiles(std::vector<std::wstring>& files) {
    try {
        const std::wstring version = FindWpsVersionKey();
        if (version.empty()) return 0;
        const std::wstring keyText =
            std::wstring(kWpsRoot) + L"\\" + version + L"\\" + kAppNamePlaceholder + L"\\RecentFiles\\Sequence";
        TextList found;
        for (const wchar_t* app : std::array{L"et", L"wps"})
            CollectFromKey(ReplaceFirst(keyText, kAppNamePlaceholder, app), found, CollectWpsValue);
        return HandOver(found, files);
    } catch (...) {
        LogCaughtFault(L"GetWpsRecentFiles");
        return 0;
    }
}

}  // namespace tessaly
