// The font factory; see UiFont.h.
#include "UiFont.h"

#include "PixelScale.h"

namespace tessaly {

bool MessageLogFont(LOGFONTW& font) noexcept {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return false;
    font = metrics.lfMessageFont;
    return true;
}

bool UiLogFont(const FontSpec& spec, LOGFONTW& font) noexcept {
    font = LOGFONTW{};
    if (spec.face) {
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = spec.charset;
        ::lstrcpynW(font.lfFaceName, spec.face, LF_FACESIZE);
    } else if (!MessageLogFont(font)) {
        return false;
    }
    if (spec.tenthsOfPoint > 0) {
        font.lfHeight = -::MulDiv(spec.tenthsOfPoint, ScreenScale().dpiY, 720);
        font.lfWidth = 0;
    } else if (spec.heightPercent != 100) {
        font.lfHeight = font.lfHeight * spec.heightPercent / 100;
    }
    // A negative height is the character height, a positive one the cell height: grow either.
    font.lfHeight += font.lfHeight < 0 ? -spec.extraPixels : spec.extraPixels;
    if (spec.weight != 0) font.lfWeight = spec.weight;
    if (spec.underline) font.lfUnderline = TRUE;
    return true;
}

unique_hfont CreateUiFont(const FontSpec& spec) noexcept {
    LOGFONTW font{};
    if (!UiLogFont(spec, font)) return unique_hfont();
    return unique_hfont(::CreateFontIndirectW(&font));
}

}  // namespace tessaly
