// Office add-in list of the machine facts; see modOfficeAddins.h.
#include "modOfficeAddins.h"

#include <windows.h>

#include <array>
#include <cwchar>
#include <optional>
#include <stdexcept>

#include "FaultLog.h"
#include "MSRegistryAPI.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly::updater {
namespace {

constexpr std::array<const wchar_t*, 3> kApplications{L"Word", L"Excel", L"PowerPoint"};
constexpr std::array<const wchar_t*, 3> kBuiltinKeyNames{L"WebPage.Connect", L"WordEEFonts.Connect",
                                                         L"WordJPostcardWizard.Connect"};
constexpr std::array<const wchar_t*, 2> kBuiltinDescriptions{L"Microsoft Power Pivot for Excel",
                                                             L"Microsoft Power View for Excel"};
constexpr wchar_t kOneNotePrefix[] = L"OneNote.";

// The names go into JSON text; quotes, backslashes and control characters are escaped so a
// description can never break the list apart.
std::wstring JsonString(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20) {
            wchar_t escaped[8];
            std::swprintf(escaped, std::size(escaped), L"\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

// LoadBehavior as a number: empty when the value is missing, a fault when it is text that is not one.
std::optional<long> LoadBehavior(HKEY root, const std::wstring& key) {
    RegValue value;
    if (ReadRegValue(root, key, L"LoadBehavior", value) != ERROR_SUCCESS) return std::nullopt;
    if (const auto* number = std::get_if<std::int32_t>(&value)) return *number;
    const auto* text = std::get_if<std::wstring>(&value);
    if (!text) return std::nullopt;
    const std::wstring trimmed = TrimSpaces(*text);
    wchar_t* end = nullptr;
    const long parsed = std::wcstol(trimmed.c_str(), &end, 10);
    if (trimmed.empty() || *end != L'\0') throw std::invalid_argument("LoadBehavior is not a number");
    return parsed;
}

std::wstring AddinName(const std::wstring& addinKey, const std::wstring& subKey) {
    const std::wstring description = ReadRegText(HKEY_CURRENT_USER, addinKey, L"Description");
    if (!description.empty()) return IsBuiltinAddin(description, false) ? std::wstring() : description;
    return IsBuiltinAddin(subKey, true) ? std::wstring() : subKey;
}

// The member of one application, or "" when its Addins key has no sub-key.
std::wstring ApplicationMember(const wchar_t* application) {
    const std::wstring key = std::wstring(L"Software\\Microsoft\\Office\\") + application + L"\\Addins";
    std::int32_t count = 0;
    const std::vector<std::wstring> subKeys = EnumRegSubKeys(HKEY_CURRENT_USER, key, count);
    if (subKeys.empty()) return {};
    std::wstring names;
    for (const std::wstring& subKey : subKeys) {
        if (subKey.starts_with(kOneNotePrefix)) continue;
        const std::wstring addinKey = key + L"\\" + subKey;
        const std::optional<long> behavior = LoadBehavior(HKEY_CURRENT_USER, addinKey);
        if (!behavior || *behavior <= 0) continue;
        const std::wstring name = AddinName(addinKey, subKey);
        if (name.empty()) continue;
        if (!names.empty()) names += L",";
        names += JsonString(name);
    }
    return JsonString(application) + L":[" + names + L"]";
}

}  // namespace

bool IsBuiltinAddin(const std::wstring& name, bool byKeyName) {
    if (byKeyName) {
        for (const wchar_t* builtin : kBuiltinKeyNames)
            if (EqualsNoCase(name, builtin)) return true;
        return false;
    }
    for (const wchar_t* builtin : kBuiltinDescriptions)
        if (EqualsNoCase(name, builtin)) return true;
    return false;
}

std::wstring ListMsOfficeAddins() {
    try {
        std::wstring members;
        for (const wchar_t* application : kApplications) {
            const std::wstring member = ApplicationMember(application);
            if (member.empty()) continue;
            if (!members.empty()) members += L",";
            members += member;
        }
        return L"{" + members + L"}";
    } catch (...) {
        LogCaughtFault(L"ListMsOfficeAddins");
        return L"{}";
    }
}

std::wstring GetOfficeAddinsJson(const std::wstring& appName) {
    const std::wstring name = ToLowerText(appName);
    if (name == L"winword" || name == L"moc") return ListMsOfficeAddins();
    return L"{}";
}

}  // namespace tessaly::updater
