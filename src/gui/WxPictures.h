// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures as wx objects: the keyboard and banner bitmaps, the
// pointing-hand cursor, the program icons and the toolbar bitmaps, all drawn
// in code (see controls/Pictures.h). User-interface thread only.
#pragma once

#include <wx/bitmap.h>
#include <wx/cursor.h>
#include <wx/iconbndl.h>
#include <wx/image.h>

#include "controls/RgbaImage.h"

// The picture with its alpha channel; an empty picture gives an invalid image.
wxImage ToWxImage(const CRgbaImage& picture);

wxBitmap MakeKeyboardBitmap();
wxBitmap MakeBannerBitmap();
// The hand with its hot spot at the tip of the index finger.
wxCursor MakeHandCursor();
wxIconBundle MakeProgramIcons();
// The 16 x 16 toolbar bitmap of a command in the theme's foreground colour;
// invalid for an unknown command.
wxBitmap MakeToolbarBitmap(int nCommand);
