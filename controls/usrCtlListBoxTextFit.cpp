// Fitting a row's text into its width; see usrCtlListBoxTextFit.h.
#include "usrCtlListBoxTextFit.h"

namespace tessaly::listbox {
namespace {

bool IsHighSurrogate(wchar_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }

// Keeps a cut of `text` after `count` characters off a surrogate pair's first half.
std::size_t WholeCharacters(std::wstring_view text, std::size_t count) noexcept {
    if (count > 0 && count < text.size() && IsHighSurrogate(text[count - 1])) --count;
    return count;
}

// The longest start of `text` (in characters) for which shape(start) fits; the widths grow with
// the start, so the largest fitting length is found by halving. -1 when not even the empty start fits.
long LongestFittingStart(std::wstring_view text, int maxWidth, const MeasureText& measure,
                         const std::function<std::wstring(std::wstring_view)>& shape) {
    if (measure(shape(text.substr(0, 0))) > maxWidth) return -1;
    std::size_t low = 0, high = text.size();
    while (low < high) {
        const std::size_t middle = low + (high - low + 1) / 2;
        if (measure(shape(text.substr(0, middle))) <= maxWidth)
            low = middle;
        else
            high = middle - 1;
    }
    return static_cast<long>(WholeCharacters(text, low));
}

std::wstring CutAtEnd(std::wstring_view text, int maxWidth, const MeasureText& measure) {
    const auto shape = [](std::wstring_view start) { return std::wstring(start) + kEllipsis; };
    const long keep = LongestFittingStart(text, maxWidth, measure, shape);
    return keep < 0 ? std::wstring() : shape(text.substr(0, static_cast<std::size_t>(keep)));
}

}  // namespace

std::wstring FitRowText(std::wstring_view text, int maxWidth, const MeasureText& measure) {
    if (measure(text) <= maxWidth) return std::wstring(text);
    const std::size_t slash = text.rfind(L'\\');
    if (slash == std::wstring_view::npos || slash == 0) return CutAtEnd(text, maxWidth, measure);
    const std::wstring_view tail = text.substr(slash);
    const auto shape = [tail](std::wstring_view start) { return std::wstring(start) + kEllipsis + std::wstring(tail); };
    const long keep = LongestFittingStart(text.substr(0, slash), maxWidth, measure, shape);
    if (keep >= 0) return shape(text.substr(0, static_cast<std::size_t>(keep)));
    // Not even the file name fits: its start stays readable after the ellipsis.
    return CutAtEnd(std::wstring(kEllipsis) + std::wstring(tail), maxWidth, measure);
}

}  // namespace tessaly::listbox
