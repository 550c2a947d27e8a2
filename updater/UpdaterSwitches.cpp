// Reading the updater's switches; see UpdaterSwitches.h.
#include "UpdaterSwitches.h"

#include "TextConvert.h"

namespace tessaly::updater {
namespace {

constexpr wchar_t kSwitchUi[] = L"/ui";
constexpr wchar_t kSwitchManual[] = L"/manual";
constexpr wchar_t kSwitchInstallPath[] = L"/installpath ";

std::wstring QuotedFolderAfter(const std::wstring& text, const std::wstring& marker) {
    const std::wstring opening = marker + L"\"";
    const std::size_t start = text.find(opening);
    if (start == std::wstring::npos) return {};
    const std::size_t first = start + opening.size();
    const std::size_t closing = text.find(L'"', first);
    if (closing == std::wstring::npos) return {};
    return text.substr(first, closing - first);
}

}  // namespace

UpdaterSwitches ParseSwitches(const std::wstring& arguments) {
    const std::wstring text = ToLowerText(arguments);
    const auto has = [&text](const wchar_t* word) { return text.find(word) != std::wstring::npos; };
    UpdaterSwitches switches;
    switches.ui = has(kSwitchUi);
    switches.manual = has(kSwitchManual);
    switches.upgrading = has(kSwitchUpgrading);
    switches.installPath = has(kSwitchInstallPath);
    switches.installFolder = QuotedFolderAfter(text, kSwitchInstallPath);
    return switches;
}

std::wstring InstallPathArgument(const std::wstring& folder) {
    return std::wstring(kSwitchInstallPath) + L"\"" + folder + L"\"";
}

}  // namespace tessaly::updater
