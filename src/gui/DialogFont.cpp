#include "gui/DialogFont.h"

#include <wx/dcmemory.h>
#include <wx/settings.h>
#include <wx/window.h>

namespace {

constexpr int kBaseWidth = 6;
constexpr int kBaseHeight = 13;
constexpr double kSmallestPoints = 6.0;

}  // namespace

wxFont MakeDialogFont() {
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    wxBitmap bitmap(8, 8);
    wxMemoryDC dc(bitmap);
    for (double points = font.GetFractionalPointSize(); points >= kSmallestPoints; points -= 0.5) {
        font.SetFractionalPointSize(points);
        dc.SetFont(font);
        if (dc.GetCharWidth() <= kBaseWidth && dc.GetCharHeight() <= kBaseHeight + 1) {
            break;
        }
    }
    return font;
}

int CompactEditHeight(const wxWindow* pWindow) {
    return pWindow->GetCharHeight() + 14;
}
