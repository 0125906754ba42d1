#include "gui/WxPictures.h"

#include <wx/icon.h>

#include "controls/Pictures.h"

wxImage ToWxImage(const CRgbaImage& picture) {
    if (picture.IsEmpty()) {
        return wxImage();
    }
    wxImage image(picture.Width(), picture.Height(), false);
    image.InitAlpha();
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const Rgba p = picture.Pixel(x, y);
            image.SetRGB(x, y, p.r, p.g, p.b);
            image.SetAlpha(x, y, p.a);
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
    const CRgbaImage picture = DrawToolbarPicture(nCommand);
    return picture.IsEmpty() ? wxNullBitmap : wxBitmap(ToWxImage(picture));
}
