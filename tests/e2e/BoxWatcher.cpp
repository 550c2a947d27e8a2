#include "BoxWatcher.h"

#include <algorithm>

#include "Polling.h"
#include "RemoteWindows.h"

namespace e2e {
namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
// The static control that holds a message box's text.
constexpr int kBoxTextId = 0xFFFF;
constexpr DWORD kStepMs = 20;
constexpr DWORD kGoneWaitMs = 2000;

std::wstring BoxText(HWND box) {
    if (HWND text = ::GetDlgItem(box, kBoxTextId)) return ControlText(text);
    std::wstring all;
    for (HWND child = ::FindWindowExW(box, nullptr, L"Static", nullptr); child;
         child = ::FindWindowExW(box, child, L"Static", nullptr))
        all += ControlText(child);
    return all;
}

}  // namespace

BoxWatcher::BoxWatcher(DWORD processId) : m_processId(processId) {
    m_thread = std::thread([this] { Watch(); });
}

BoxWatcher::~BoxWatcher() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void BoxWatcher::Answer(const std::wstring& title, std::vector<int> buttons) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_answers[title] = std::move(buttons);
    m_used[title] = 0;
}

std::vector<SeenBox> BoxWatcher::Seen() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_seen;
}

std::size_t BoxWatcher::CountSeen(const std::wstring& title) {
    std::size_t count = 0;
    for (const SeenBox& box : Seen()) count += box.title == title ? 1 : 0;
    return count;
}

bool BoxWatcher::WaitForBoxes(const std::wstring& title, std::size_t count, DWORD timeoutMs) {
    return WaitUntil([&] { return CountSeen(title) >= count; }, timeoutMs);
}

void BoxWatcher::Watch() {
    while (!m_stop) {
        for (HWND box : TopWindowsOf(m_processId, kDialogClass))
            if (::IsWindowVisible(box) && !m_pressed.contains(box)) Handle(box);
        ::Sleep(kStepMs);
    }
}

void BoxWatcher::Handle(HWND box) {
    SeenBox seen{WindowCaption(box), BoxText(box), 0};
    seen.pressed = ChooseButton(box, seen.title);
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_seen.push_back(seen);
    }
    m_pressed.insert(box);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(seen.pressed, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, seen.pressed)));
    // A window handle may come back for a later box once this one is gone.
    WaitUntil([box] { return !::IsWindow(box); }, kGoneWaitMs, kStepMs);
    if (!::IsWindow(box)) m_pressed.erase(box);
}

int BoxWatcher::ChooseButton(HWND box, const std::wstring& title) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        const auto planned = m_answers.find(title);
        if (planned != m_answers.end() && !planned->second.empty()) {
            std::size_t& used = m_used[title];
            const int button = planned->second[std::min(used, planned->second.size() - 1)];
            ++used;
            return button;
        }
    }
    for (int button : {IDOK, IDCANCEL, IDNO})
        if (::GetDlgItem(box, button)) return button;
    return IDCANCEL;
}

}  // namespace e2e
