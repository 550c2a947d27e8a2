// The notice's path text; see NoticeText.h.
#include "NoticeText.h"

namespace tessaly::guard {
namespace {

constexpr std::size_t kLongestShown = 80;
constexpr std::size_t kKeptEachSide = 25;

}  // namespace

std::wstring NoticePathText(const std::wstring& path) {
    if (path.size() <= kLongestShown) return path;
    return path.substr(0, kKeptEachSide) + L"..." + path.substr(path.size() - kKeptEachSide);
}

}  // namespace tessaly::guard
