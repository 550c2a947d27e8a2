// The notice's path text; see NoticeText.h.
#include "NoticeText.h"

#include <windows.h>

namespace tessaly::guard {
namespace {

constexpr std::size_t kLongestShown = 80;
constexpr std::size_t kKeptEachSide = 25;

}  // namespace

std::wstring NoticePathText(const std::wstring& path) {
    if (path.size() <= kLongestShown) return path;
    return path.substr(0, kKeptEachSide) + L"..." + path.substr(path.size() - kKeptEachSide);
}

std::wstring FitInMiddle(const std::wstring& text, int room, const std::function<int(const std::wstring&)>& width) {
    if (width(text) <= room) return text;
    const auto splits = [&](std::size_t at) { return at > 0 && at < text.size() && IS_LOW_SURROGATE(text[at]); };
    // One character fewer each time, taken from the end side and the start side in turn.
    for (std::size_t kept = text.size(); kept-- > 0;) {
        std::size_t head = kept - kept / 2;
        std::size_t tail = text.size() - kept / 2;
        if (splits(head)) --head;
        if (splits(tail)) ++tail;
        const std::wstring shown = text.substr(0, head) + L"..." + text.substr(tail);
        if (width(shown) <= room) return shown;
    }
    return L"...";
}

}  // namespace tessaly::guard
