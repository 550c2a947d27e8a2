// Helpers of the main-program tests.
#include "MainTestSupport.h"

#include <shlwapi.h>

#include <filesystem>
#include <fstream>

#include "DoEvents.h"
#include "modCommon.h"

namespace maintest {

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

HostWindow::HostWindow()
    : m_hwnd(::CreateWindowExW(0, L"STATIC", L"main tests", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr)) {}

HostWindow::~HostWindow() { PumpMessages(); }

HWND FindChild(HWND parent, const wchar_t* windowClass, const std::wstring& caption) {
    return ::FindWindowExW(parent, nullptr, windowClass, caption.c_str());
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void PumpMessages() { tessaly::DoEvents(); }

}  // namespace maintest
