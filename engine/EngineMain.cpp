// zdvcore.exe: the scan engine. It holds the shared block and the run marker "zdvcore" for as long
// as it runs, and serves the engine link until a client sends "SERVER::EXIT" or an installation
// begins (its marker "zdvinstalling" appears).
#include <windows.h>

#include <cstdlib>
#include <string>

#include "Analyzer.h"
#include "EngineBlock.h"
#include "EngineServer.h"
#include "FaultLog.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace {

using namespace tessaly;

constexpr wchar_t kSignatureFile[] = L"tessaly.sig";
constexpr LONGLONG kSignatureFileLimit = 64 << 20;

// The signature text beside the engine; "" leaves the analysis on its built-in set.
std::string ReadSignatureText(const std::wstring& folder) {
    unique_file file(::CreateFileW((folder + kSignatureFile).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kSignatureFileLimit)
        return {};
    std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) return {};
    text.resize(read);
    return text;
}

// The marker must be this process's own: a marker held by another engine means that one serves.
bool HoldsOwnMarker() {
    const std::wstring path = GetCommonDataFolder() + kMarkerEngine + L".run";
    unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char digits[16]{};
    DWORD read = 0;
    if (!::ReadFile(file.get(), digits, sizeof digits - 1, &read, nullptr)) return false;
    return std::strtoul(digits, nullptr, 10) == ::GetCurrentProcessId();
}

int RunEngine() {
    const std::wstring folder = GetAppFolder();
    ::SetCurrentDirectoryW(folder.c_str());
    if (IsRunMarkerPresent(kMarkerEngine, L"") || engine::IsInstallationRunning()) return 0;

    // Block and marker first: a client looks for both right after the start, and waits for the
    // idle announcement while the signatures load.
    engine::EngineBlock block;
    if (!block.Create()) return 1;
    block.Clear();
    if (!CreateRunMarker(kMarkerEngine, L"") || !HoldsOwnMarker()) return 0;

    const analysis::Analyzer analyzer(ReadSignatureText(folder));
    engine::EngineServer server(block, analyzer, engine::IsProcessElevated());
    server.Run();
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        return RunEngine();
    } catch (...) {
        LogCaughtFault(L"zdvcore");
        return 1;
    }
}
