// The one font factory of the programs: the system's message font or a named face, at a size in
// tenths of a point or scaled from the base, with a weight. The caller owns the font it gets.
#pragma once

#include <windows.h>

#include "UniqueHandle.h"

namespace tessaly {

struct FontSpec {
    const wchar_t* face = nullptr;    // nullptr: the system's message font
    int tenthsOfPoint = 0;            // 0: the base font's height, scaled by heightPercent
    int heightPercent = 100;          // whole pixels, the fraction dropped (150 on 11 pixels gives 16)
    int weight = 0;                   // 0: the base's weight (FW_NORMAL for a named face)
    BYTE charset = DEFAULT_CHARSET;   // for a named face
    bool underline = false;
    int extraPixels = 0;              // added to the base height (a caption a few pixels taller)
};

// The system's message font as a description; false when the system does not give it.
bool MessageLogFont(LOGFONTW& font) noexcept;

// The description CreateUiFont makes a font from; false when the base font is unavailable.
bool UiLogFont(const FontSpec& spec, LOGFONTW& font) noexcept;

// The font, or an empty owner when it cannot be made.
unique_hfont CreateUiFont(const FontSpec& spec) noexcept;

}  // namespace tessaly
