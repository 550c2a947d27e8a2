// How a row's text is fitted into the width left of the scroll bar: a path loses characters in
// its middle, so the start and the file name stay readable; any other text is cut at its end.
// Kept free of windows: the width of a text comes from the caller's measure.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tessaly::listbox {

inline constexpr wchar_t kEllipsis[] = L"...";

// Width of a text in pixels, as the drawing will lay it out.
using MeasureText = std::function<int(std::wstring_view text)>;

// The text itself when it fits maxWidth. Otherwise, when it holds a "\" that is not its first
// character, as much of its start as fits, "..." and everything from the last "\" on; when not
// even that fits, or there is no "\", as much of the text as fits followed by "...". Surrogate
// pairs are never split. Empty when not even "..." fits.
std::wstring FitRowText(std::wstring_view text, int maxWidth, const MeasureText& measure);

}  // namespace tessaly::listbox
