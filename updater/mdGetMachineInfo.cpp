// Machine facts; see mdGetMachineInfo.h.
#include "mdGetMachineInfo.h"

#include <windows.h>

#include "ClsWMI.h"
#include "FaultLog.h"
#include "MSRegistryAPI.h"
#include "PlatformQueries.h"
#include "TextConvert.h"
#include "modCommon.h"
#include "modGetOfficeInfo.h"
#include "modOfficeAddins.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kUnknown[] = L"unknown";
constexpr wchar_t kUserChoiceKey[] =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\https\\UserChoice";
constexpr wchar_t kOpenCommandSuffix[] = L"\\shell\\open\\command";

struct MachineFacts {
    std::wstring uuid;
    std::wstring arch = L"32";
    std::wstring osName = kUnknown;
    std::wstring osVersion = L"0.0.0";
    std::wstring cpu = kUnknown;
    std::wstring resolution = L"0*0";
    std::wstring httpsApp = kUnknown;
};

// A fact the service reported empty keeps its default.
void Take(std::wstring& fact, const std::wstring& reported) {
    if (!reported.empty()) fact = reported;
}

void GatherFacts(bool full, const std::wstring& configPath, ClsWMI& wmi, MachineFacts& facts) {
    if (full) {
        std::wstring name, version, cpu, arch;
        if (wmi.getOsInfo(name, version)) {
            Take(facts.osName, name);
            Take(facts.osVersion, version);
        }
        if (wmi.getCpuInfo(cpu, arch)) {
            Take(facts.cpu, cpu);
            Take(facts.arch, arch);
        }
    }
    facts.uuid = GetMachineUUID(wmi, configPath);
    int width = 0, height = 0;
    GetScreenSize(width, height);
    if (width != 0) facts.resolution = std::to_wstring(width) + L"*" + std::to_wstring(height);
    facts.httpsApp = GetHttpsBrowserName();
}

std::wstring Pair(const wchar_t* key, const std::wstring& value) { return std::wstring(key) + L"=" + TextToHex(value); }

std::wstring RemoveAll(std::wstring text, std::wstring_view what) {
    for (std::size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at)) text.erase(at, what.size());
    return text;
}

}  // namespace

std::wstring GetExeNameFromCommand(const std::wstring& command) {
    std::wstring text = TrimSpaces(command);
    wchar_t separator = L' ';
    if (!text.empty() && text.front() == L'"') {
        separator = L'"';
        text.erase(0, 1);
    }
    if (const std::size_t at = text.find(separator); at != std::wstring::npos) text.resize(at);
    text = ToLowerText(text);
    if (const std::size_t slash = text.rfind(L'\\'); slash != std::wstring::npos) text.erase(0, slash + 1);
    return RemoveAll(text, L".exe");
}

std::wstring GetHttpsBrowserName() {
    try {
        const std::wstring progId = ReadRegText(HKEY_CURRENT_USER, kUserChoiceKey, L"ProgId");
        const std::wstring command = progId.empty()
                                         ? ReadRegText(HKEY_CLASSES_ROOT, std::wstring(L"https") + kOpenCommandSuffix, L"")
                                         : ReadRegText(HKEY_CLASSES_ROOT, progId + kOpenCommandSuffix, L"");
        return command.empty() ? kUnknown : GetExeNameFromCommand(command);
    } catch (...) {
        LogCaughtFault(L"GetHttpsBrowserName");
        return kUnknown;
    }
}

std::wstring GetDocShellQuery() {
    std::wstring app = kUnknown;
    std::wstring version = L"0";
    std::wstring addins = L"{}";
    try {
        OfficeAppInfo info;
        GetOfficeInfo(info);
        if (!info.ExePath.empty()) {
            const std::wstring name = ToLowerText(info.AppName);
            const std::wstring json = GetOfficeAddinsJson(name);
            app = name;
            version = info.MajorVersion;
            addins = json;
        }
    } catch (...) {
        LogCaughtFault(L"GetDocShellQuery");
    }
    return Pair(L"DocShellApp", app) + L"&" + Pair(L"DocShellVer", version) + L"&" + Pair(L"OfficeAddins", addins);
}

std::wstring BuildMachineInfoQuery(bool full, const std::wstring& configPath, ClsWMI& wmi) {
    MachineFacts facts;
    try {
        GatherFacts(full, configPath, wmi, facts);
    } catch (...) {
        LogCaughtFault(L"BuildMachineInfoQuery");
    }
    const std::wstring docShell = full ? GetDocShellQuery() : std::wstring();
    std::wstring query = Pair(L"UUID", facts.uuid) + L"&" + Pair(L"OSMajorVer", std::to_wstring(GetOsMajorVersion()));
    if (!full) return query;
    query += L"&" + Pair(L"Arch", facts.arch) + L"&" + Pair(L"OSName", facts.osName) + L"&" +
             Pair(L"OSVer", facts.osVersion) + L"&" + Pair(L"CPU", facts.cpu) + L"&" +
             Pair(L"Resolution", facts.resolution) + L"&" + Pair(L"HttpsShellApp", facts.httpsApp) + L"&" + docShell;
    return query;
}

}  // namespace tessaly::updater
