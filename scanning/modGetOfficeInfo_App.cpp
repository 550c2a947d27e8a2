// Which application opens Word and Excel documents: GetOfficeInfo reads the open command of the
// document associations and the version of its program, and guesses from the folder layout or
// asks the automation object when the program carries no version.
#include "modGetOfficeInfo.h"

#include "FaultLog.h"
#include "MSRegistryAPI.h"
#include "TextConvert.h"
#include "modFileVersion.h"
#include "modGetOfficeInfo_Text.h"

#include <array>
#include <tuple>

namespace tessaly {

using namespace office_detail;

namespace {

constexpr wchar_t kNoVersion[] = L"0.0.0";

struct FoundApp {
    std::wstring name;
    std::wstring version;
    std::wstring exePath;
};

// The open command of the document association of one extension, "" when that association
// cannot decide (missing, empty, or the generic "docfile" class that any reader may own).
std::wstring ReadOpenCommand(const std::wstring& extension) {
    RegValue progIdValue;
    if (ReadRegValue(HKEY_CLASSES_ROOT, extension, L"", progIdValue) != ERROR_SUCCESS) return {};
    const auto* progId = std::get_if<std::wstring>(&progIdValue);
    if (progId == nullptr || progId->empty() || ToLowerText(*progId) == L"docfile") return {};

    RegValue commandValue;
    if (ReadRegValue(HKEY_CLASSES_ROOT, *progId + L"\\shell\\Open\\command", L"", commandValue) != ERROR_SUCCESS)
        return {};
    const auto* command = std::get_if<std::wstring>(&commandValue);
    return command != nullptr ? *command : std::wstring();
}

FoundApp AppFromCommand(const std::wstring& rawCommand) {
    std::wstring command = TrimSpaces(rawCommand);
    wchar_t separator = L' ';
    if (!command.empty() && command.front() == L'"') {
        command.erase(0, 1);
        separator = L'"';
    }
    FoundApp app;
    const size_t pos = command.find(separator);
    if (pos == std::wstring::npos) {
        app.exePath = ToLowerText(command);
        app.name = app.exePath;
        app.version = L"0";
        return app;
    }
    app.exePath = ToLowerText(command.substr(0, pos));
    app.name = app.exePath;
    app.version = GetFileVersion(app.exePath);
    if (app.version != kNoVersion) {
        app.version = TextBefore(app.version, L'.');
        const size_t slash = app.exePath.rfind(L'\\');
        if (slash != std::wstring::npos) app.name = RemoveAll(app.exePath.substr(slash + 1), L".exe");
    } else {
        std::tie(app.name, app.version) = GuessAppFromPath(app.exePath);
    }
    return app;
}

FoundApp FindAppByAssociation() {
    static constexpr std::array<const wchar_t*, 4> kExtensions = {L".docx", L".xlsx", L".doc", L".xls"};
    for (const wchar_t* extension : kExtensions) {
        try {
            const std::wstring command = ReadOpenCommand(extension);
            // The first association with an open command decides, whatever it yields.
            if (!command.empty()) return AppFromCommand(command);
        } catch (...) {
            // A fault with one association lets the next one speak.
            LogCaughtFault(L"FindAppByAssociation");
        }
    }
    return {};
}

bool FindAppByAutomation(FoundApp& app) {
    OfficeAppInfo answer;
    if (!GetAppInfoByAutomation(L"Excel.Application", L"winword", answer) &&
        !GetAppInfoByAutomation(L"ket.Application", L"wps", answer))
        return false;
    app.name = answer.AppName;
    app.version = answer.MajorVersion;
    app.exePath = answer.ExePath;
    return true;
}

}  // namespace

bool GetOfficeInfo(OfficeAppInfo& info) {
    FoundApp app = FindAppByAssociation();
    // Nothing associated leaves every field empty, which counts as found: no version was missed.
    if (app.version == kNoVersion) {
        try {
            FindAppByAutomation(app);
        } catch (...) {
            LogCaughtFault(L"GetOfficeInfo");
        }
    }
    try {
        info.AppName = RemoveAll(ToLowerText(app.name), L".exe");
        info.MajorVersion = app.version;
        info.ExePath = app.exePath;
        info.InstallFolder = FolderWithSlash(app.exePath);
    } catch (...) {
        LogCaughtFault(L"GetOfficeInfo");
        return false;
    }
    return app.version != kNoVersion;
}

std::pair<std::wstring, std::wstring> GuessAppFromPath(const std::wstring& appPath) {
    std::pair<std::wstring, std::wstring> guess{appPath, kNoVersion};
    try {
        if (appPath.empty()) return guess;
        if (appPath.find(L"\\winword.exe") != std::wstring::npos) {
            const auto parts = SplitText(appPath, L'\\');
            if (parts.size() > 2) {
                // ...\office16\winword.exe: the folder names the version.
                return {RemoveAll(parts.back(), L".exe"), RemoveAll(parts[parts.size() - 2], L"office")};
            }
        }
        if (appPath.find(L"\\wps.exe") != std::wstring::npos) {
            // ...\kingsoft\wps office\11.1.0.9999\office6\wps.exe: the first dotted folder is the version.
            // The file name itself always holds a "." and is not a version.
            const auto parts = SplitText(appPath, L'\\');
            for (size_t i = 0; i + 1 < parts.size(); ++i) {
                if (parts[i].find(L'.') != std::wstring::npos) {
                    guess = {L"wps", TextBefore(parts[i], L'.')};
                    break;
                }
            }
        }
    } catch (...) {
        LogCaughtFault(L"GuessAppFromPath");
    }
    return guess;
}

}  // namespace tessaly
