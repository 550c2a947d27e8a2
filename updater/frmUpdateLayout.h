// Layout of the updater window in twips.
#pragma once

#include <windows.h>

#include <array>

#include "FormLayout.h"
#include "UpdateTexts.h"
#include "frmUpdate.h"

namespace tessaly::updater::update_form {

inline constexpr int kClientWidthTwips = 6060;
inline constexpr int kClientHeightTwips = 3690;

inline constexpr DWORD kStatusBox = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
inline constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON;

inline constexpr std::array<ControlLayout, 2> kControls{{
    {frmUpdate::kIdOutUpdateMsg, L"EDIT", L"", kStatusBox, 240, 480, 5535, 2055},
    {frmUpdate::kIdOKButton, L"BUTTON", kExitCaption, kButton, 2160, 3000, 1215, 375},
}};

}  // namespace tessaly::updater::update_form
