// Helpers of the main-program tests.
#include "MainTestSupport.h"

#include <shlwapi.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "ContextMenuScan.h"
#include "MSRegistryAPI.h"
#include "modCommon.h"

namespace maintest {
namespace {

std::optional<std::wstring> EnvValue(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring value(size, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

void RestoreEnv(const wchar_t* name, const std::optional<std::wstring>& value) {
    ::SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

std::optional<std::wstring> ReadText(HKEY root, const std::wstring& key, const std::wstring& name) {
    tessaly::RegValue value;
    if (tessaly::ReadRegValue(root, key, name, value) != ERROR_SUCCESS) return std::nullopt;
    if (const auto* text = std::get_if<std::wstring>(&value)) return *text;
    return std::nullopt;
}

void WriteText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    ::SHSetValueW(root, key.c_str(), name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

}  // namespace

PrivateDataFolders::PrivateDataFolders() : m_appData(EnvValue(L"AppData")), m_programData(EnvValue(L"ProgramData")) {
    wchar_t temp[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    m_root = std::wstring(temp) + L"tessaly_main_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
             std::to_wstring(++serial) + L"_" + std::to_wstring(::GetTickCount()) + L"\\";
    std::filesystem::create_directories(m_root + L"AppData");
    std::filesystem::create_directories(m_root + L"ProgramData");
    ::SetEnvironmentVariableW(L"AppData", (m_root + L"AppData").c_str());
    ::SetEnvironmentVariableW(L"ProgramData", (m_root + L"ProgramData").c_str());
}

PrivateDataFolders::~PrivateDataFolders() {
    RestoreEnv(L"AppData", m_appData);
    RestoreEnv(L"ProgramData", m_programData);
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

std::wstring PrivateDataFolders::ConfigFile() const { return m_root + L"AppData\\Tessaly\\config.dat"; }

RegistrySnapshot::RegistrySnapshot() {
    for (const std::wstring& key : tessaly::context_menu::AllVerbKeys()) {
        m_verbs.push_back({key, ReadText(HKEY_CLASSES_ROOT, key, L""),
                           ReadText(HKEY_CLASSES_ROOT, key + tessaly::context_menu::kCommandSuffix, L"")});
    }
    m_autoRun = AutoRunValue();
}

RegistrySnapshot::~RegistrySnapshot() {
    for (const VerbState& verb : m_verbs) {
        ::SHDeleteKeyW(HKEY_CLASSES_ROOT, verb.key.c_str());
        if (verb.caption) WriteText(HKEY_CLASSES_ROOT, verb.key, nullptr, *verb.caption);
        if (verb.command)
            WriteText(HKEY_CLASSES_ROOT, verb.key + tessaly::context_menu::kCommandSuffix, nullptr, *verb.command);
    }
    if (m_autoRun)
        WriteText(HKEY_LOCAL_MACHINE, tessaly::kAutoRunKey, tessaly::kAutoRunValueName, *m_autoRun);
    else
        ::SHDeleteValueW(HKEY_LOCAL_MACHINE, tessaly::kAutoRunKey, tessaly::kAutoRunValueName);
}

TrayStandIn::TrayStandIn() : m_path(tessaly::GetAppFolder() + L"kestrine.exe") {
    if (tessaly::DirLookup(m_path)) return;
    std::ofstream(std::filesystem::path(m_path), std::ios::binary) << "MZ";
    m_made = true;
}

TrayStandIn::~TrayStandIn() {
    if (m_made) ::DeleteFileW(m_path.c_str());
}

MessageBoxAnswerer::MessageBoxAnswerer(std::wstring title) : m_title(std::move(title)) {
    m_thread = std::thread([this] { Watch(); });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_texts;
}

void MessageBoxAnswerer::Watch() {
    const DWORD self = ::GetCurrentProcessId();
    while (!m_stop) {
        HWND box = nullptr;
        while ((box = ::FindWindowExW(nullptr, box, L"#32770", m_title.c_str())) != nullptr) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(box, &owner);
            if (owner != self || !::IsWindowVisible(box)) continue;
            std::wstring text;
            for (HWND child = ::FindWindowExW(box, nullptr, L"Static", nullptr); child;
                 child = ::FindWindowExW(box, child, L"Static", nullptr)) {
                const std::wstring part = WindowText(child);
                if (!part.empty()) text += part;
            }
            {
                std::lock_guard<std::mutex> hold(m_lock);
                m_texts.push_back(text);
            }
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            // Give the box time to go before looking again, so it is not answered twice.
            for (int i = 0; i < 100 && ::IsWindow(box); ++i) ::Sleep(10);
        }
        ::Sleep(20);
    }
}

std::optional<std::wstring> ClassesRootDefault(const std::wstring& key) { return ReadText(HKEY_CLASSES_ROOT, key, L""); }

bool ClassesRootKeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    ::RegCloseKey(handle);
    return true;
}

std::optional<std::wstring> AutoRunValue() {
    return ReadText(HKEY_LOCAL_MACHINE, tessaly::kAutoRunKey, tessaly::kAutoRunValueName);
}

HostWindow::HostWindow() {
    m_hwnd = ::CreateWindowExW(0, L"STATIC", L"main tests", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

HostWindow::~HostWindow() {
    PumpMessages();
    if (m_hwnd) ::DestroyWindow(m_hwnd);
}

HWND FindChild(HWND parent, const wchar_t* windowClass, const std::wstring& caption) {
    return ::FindWindowExW(parent, nullptr, windowClass, caption.c_str());
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace maintest
