#include "gui/WxPictures.h"

#include <wx/icon.h>
#include <wx/settings.h>

#include "controls/Pictures.h"

wxImage ToWxImage(const CRgbaImage& picture) {
    if (picture.IsEmpty()) {
        return wxImage();
    }
    const int nWidth = picture.Width();
    const int nHeight = picture.Height();
    wxImage image(nWidth, nHeight, false);
    image.InitAlpha();
    unsigned char* pRgb = image.GetData();
    unsigned char* pAlpha = image.GetAlpha();
    for (int y = 0; y < nHeight; ++y) {
        for (int x = 0; x < nWidth; ++x) {
            const Rgba p = picture.Pixel(x, y);
            *pRgb++ = p.r;
            *pRgb++ = p.g;
            *pRgb++ = p.b;
            *pAlpha++ = p.a;
        }
    }
    return image;
}

wxBitmap MakeKeyboardBitmap() {
    return wxBitmap(ToWxImage(DrawKeyboardPicture()));
}

wxBitmap MakeBannerBitmap() {
    return wxBitmap(ToWxImage(DrawBannerPicture()));
}

wxCursor MakeHandCursor() {
    const CursorPicture cursor = DrawHandCursor();
    wxImage image = ToWxImage(cursor.image);
    image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_X, cursor.nHotX);
    image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_Y, cursor.nHotY);
    return wxCursor(image);
}

wxIconBundle MakeProgramIcons() {
    wxIconBundle icons;
    for (int nSize : {16, 32, 48, 64}) {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap(ToWxImage(DrawProgramIcon(nSize))));
        icons.AddIcon(icon);
    }
    return icons;
}

wxBitmap MakeToolbarBitmap(int nCommand) {
    // In the theme's foreground colour, that of a button's text.
    const wxColour ink = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT);
    const CRgbaImage picture =
        DrawToolbarPicture(nCommand, MakeRgba(ink.Red(), ink.Green(), ink.Blue()));
    return picture.IsEmpty() ? wxNullBitmap : wxBitmap(ToWxImage(picture));
}
