// Tokens of the desktop user; see DesktopUser.h.
#include "DesktopUser.h"

#include "UniqueHandle.h"

namespace suitetest {
namespace {

bool IsElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

// A primary token of the desktop user, or none when this process is that user already.
tessaly::unique_kernel_handle LimitedToken() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &raw)) return {};
    const tessaly::unique_kernel_handle own(raw);
    if (!IsElevated(own.get())) return {};
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!::GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size)) return {};
    const tessaly::unique_kernel_handle limited(linked.LinkedToken);
    HANDLE primary = nullptr;
    if (!::DuplicateTokenEx(limited.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &primary))
        return {};
    return tessaly::unique_kernel_handle(primary);
}

}  // namespace

e2e::ChildProcess StartAsDesktopUser(const std::wstring& commandLine) {
    const tessaly::unique_kernel_handle token = LimitedToken();
    // The shell's own working folder, not the test's.
    wchar_t system[MAX_PATH]{};
    ::GetSystemDirectoryW(system, MAX_PATH);
    return e2e::ChildProcess(token.get(), commandLine, system);
}

bool RunsElevated(DWORD processId) {
    const tessaly::unique_kernel_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    HANDLE raw = nullptr;
    if (!process || !::OpenProcessToken(process.get(), TOKEN_QUERY, &raw)) return false;
    const tessaly::unique_kernel_handle token(raw);
    return IsElevated(token.get());
}

}  // namespace suitetest
