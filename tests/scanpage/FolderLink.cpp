// Folder links for the walk tests; see FolderLink.h.
#include "FolderLink.h"

#include <windows.h>

#include <functional>

#include "BoundedPoll.h"
#include "UniqueHandle.h"

namespace tessaly::test {
namespace {

bool IsLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The Unix name of a path, from Wine's own export; empty outside Wine.
std::string UnixPath(const std::wstring& path) {
    using Convert = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return {};
    char* unix = convert(path.c_str());
    if (!unix) return {};
    std::string result(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return result;
}

// Runs a Unix program under Wine (it starts ELF files named by their \\?\unix\ path) and waits
// until done() holds: the started program cannot be waited for through its handle.
bool RunUnix(const wchar_t* program, const std::string& arguments, const std::function<bool()>& done) {
    std::wstring commandLine = std::wstring(L"\"") + program + L"\" ";
    commandLine.append(arguments.begin(), arguments.end());  // the paths made here are ASCII
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    const ProcessHandles handles = TakeProcessHandles(info);
    return PollUntil(done, {5000, 10, 0, false}) == PollResult::Done;
}

}  // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    constexpr DWORD kAllowUnprivileged = 0x2;  // developer mode on Windows 10 and later
    if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | kAllowUnprivileged) &&
        IsLink(link))
        return true;
    const std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    if (unixLink.empty() || unixTarget.empty()) return false;
    return RunUnix(L"\\\\?\\unix\\bin\\ln", "-s \"" + unixTarget + "\" \"" + unixLink + "\"", [&] { return IsLink(link); });
}

void RemoveFolderLink(const std::wstring& link) {
    if (!IsLink(link) || ::RemoveDirectoryW(link.c_str()) || !IsLink(link)) return;
    const std::string unixLink = UnixPath(link);
    if (!unixLink.empty()) RunUnix(L"\\\\?\\unix\\bin\\rm", "\"" + unixLink + "\"", [&] { return !IsLink(link); });
}

}  // namespace tessaly::test
