#include "gui/DialogFont.h"

#include <wx/dcmemory.h>
#include <wx/settings.h>
#include <wx/sizer.h>
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

wxBoxSizer* ButtonRow(std::initializer_list<wxWindow*> buttons, int gap) {
    auto* pRow = new wxBoxSizer(wxHORIZONTAL);
    pRow->AddStretchSpacer();
    for (wxWindow* pButton : buttons) {
        pRow->Add(pButton, 0, pButton == *(buttons.end() - 1) ? 0 : wxRIGHT, gap * 2);
    }
    return pRow;
}
