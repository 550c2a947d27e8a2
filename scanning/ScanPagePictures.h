// The pictures of the three scan buttons, drawn with GDI so the page needs no image resources:
// a hard disk (full scan), a magnifier (quick scan), a folder (chosen file or folder).
#pragma once

#include <windows.h>

namespace tessaly {

void DrawScanButtonPicture(HDC dc, const RECT& area, int index) noexcept;

}  // namespace tessaly
