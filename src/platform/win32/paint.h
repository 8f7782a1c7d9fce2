// What the window needs of painting besides painting itself: the program's pictures (the flag
// is the window's icon) and fonts at a given dpi.
#pragma once

#include "app/design.h"

#include <windows.h>

#include <string_view>

namespace pikorina::win32 {

HANDLE PictureHandle(Picture picture);
HFONT CreatePointFont(std::wstring_view face, int points, int charset, int dpi);

} // namespace pikorina::win32
