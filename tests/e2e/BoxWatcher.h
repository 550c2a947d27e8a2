// Answers the message boxes of one process from a thread of the test: each box is recorded
// (title and text) and pressed with the button chosen for its title, so none is left open.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

struct SeenBox {
    std::wstring title;
    std::wstring text;
    int pressed = 0;
};

class BoxWatcher {
public:
    explicit BoxWatcher(DWORD processId);
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    // Boxes with this title get these buttons in turn, the last one again once the list is used
    // up. Boxes of other titles get OK, or else Cancel, No.
    void Answer(const std::wstring& title, std::vector<int> buttons);
    std::vector<SeenBox> Seen();
    // Number of boxes with this title answered so far.
    std::size_t CountSeen(const std::wstring& title);
    bool WaitForBoxes(const std::wstring& title, std::size_t count, DWORD timeoutMs);

private:
    void Watch();
    void Handle(HWND box);
    int ChooseButton(HWND box, const std::wstring& title);

    DWORD m_processId;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::map<std::wstring, std::vector<int>> m_answers;
    std::map<std::wstring, std::size_t> m_used;
    std::vector<SeenBox> m_seen;
    std::set<HWND> m_pressed;
    std::thread m_thread;
};

}  // namespace e2e
