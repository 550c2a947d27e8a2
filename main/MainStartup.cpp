#include "MainStartup.h"

#include <windows.h>

#include <array>

#include "ClsPipeShareMem.h"
#include "FaultLog.h"
#include "OfficeProcessNames.h"
#include "ProgramFiles.h"
#include "SupportContact.h"
#include "TextConvert.h"
#include "clsUTF8TextFile.h"
#include "modCommon.h"
#include "usrScanCleanPage.h"

namespace tessaly::main_startup {
namespace {

constexpr std::array<const wchar_t*, 4> kInstalledPrograms{kEngineProgramFile, kMainProgramFile, kTrayProgramFile,
                                                          kUpdaterProgramFile};
constexpr std::size_t kMaxCommandLine = 512;

// Blank lines count as nothing: a file of only line ends must not open an empty dialog.
std::wstring TrimBlanks(const std::wstring& text) {
    constexpr wchar_t kBlanks[] = L" \t\r\n\u3000";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::wstring EngineFailureText() { return std::wstring(kEngineLoadFailedText) + kSupportContact; }
std::wstring ContactText() { return std::wstring(kContactPrefix) + TESSALY_SUPPORT_CONTACT; }

std::optional<std::wstring> ScanPathFromArguments(const std::wstring& arguments) {
    if (arguments.size() < 4 || arguments.size() > kMaxCommandLine) return std::nullopt;
    if (ToLowerText(arguments.substr(0, 4)) != L"/sf ") return std::nullopt;
    return ToLowerText(arguments.substr(4));
}

std::optional<std::wstring> ScanPathProblem(const std::wstring& path) {
    if (usrScanCleanPage::ScanTargetOf(path) != usrScanCleanPage::ScanTarget::None) return std::nullopt;
    if (!path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return std::wstring(kScanPathHiddenText) + L"\r\n" + path;
    std::wstring text = std::wstring(kScanPathMissingText) + L"\r\n" + path;
    // The switch takes the rest of the line as it stands, quotes included.
    if (path.find(L'"') != std::wstring::npos) text += std::wstring(L"\r\n") + kScanPathQuotedHint;
    return text;
}

std::wstring GetMissingEngineFiles(const std::wstring& programFolder) {
    std::wstring missing;
    for (const wchar_t* name : kInstalledPrograms)
        if (!DirLookup(programFolder + name)) missing += std::wstring(name) + L"\r\n";
    return missing;
}

void CheckOfficeProcesses(const OfficeProcessOps& ops) noexcept {
    try {
        for (const wchar_t* name : kOfficeProcesses) {
            if (!ops.isRunning(name)) continue;
            if (!ops.askToEnd()) return;
            for (const wchar_t* each : kOfficeProcesses) ops.terminate(each);
        }
    } catch (...) {
        // A failing process query must not stop the program's start.
        LogCaughtFault(L"CheckOfficeProcesses");
    }
}

std::optional<std::wstring> TakeLastUpdateNotes(const std::wstring& programFolder) noexcept {
    try {
        const std::wstring path = programFolder + kNotesFileName;
        if (!DirLookup(path)) return std::nullopt;
        std::wstring text;
        clsUTF8TextFile file;
        file.ReadFromUTF8File(path, text);
        ::DeleteFileW(path.c_str());
        text = TrimBlanks(text);
        if (text.empty()) return std::nullopt;
        return text;
    } catch (...) {
        LogCaughtFault(L"TakeLastUpdateNotes");
        return std::nullopt;
    }
}

}  // namespace tessaly::main_startup
