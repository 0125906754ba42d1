#include "gui/HelpNote.h"

#include <wx/app.h>
#include <wx/popupwin.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace {

constexpr int kMargin = 5;
constexpr int kWrapWidth = 320;

// The note: the text wrapped to a readable width in the toolkit's tooltip
// colours, in a popup that grabs nothing. wx's own tip window captures the
// mouse on top of its popup's grab; What's This, capturing it again, then
// kept a window it no longer knew in the capture stack once the tip went,
// and crashed.
class CHelpNote : public wxPopupWindow {
public:
    CHelpNote(wxWindow* pParent, const wxString& text) : wxPopupWindow(pParent, wxBORDER_SIMPLE) {
        const wxColour back = wxSystemSettings::GetColour(wxSYS_COLOUR_INFOBK);
        SetBackgroundColour(back);
        const int margin = FromDIP(kMargin);
        auto* pText = new wxStaticText(this, wxID_ANY, text, wxPoint(margin, margin));
        pText->SetForegroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_INFOTEXT));
        pText->SetBackgroundColour(back);
        pText->Wrap(FromDIP(kWrapWidth));
        SetClientSize(pText->GetSize() + wxSize(2 * margin, 2 * margin));
    }

    // Under the pointer, where the click that asked for it was.
    void ShowAtPointer() {
        const wxPoint at = wxGetMousePosition();
        Position(wxPoint(at.x, at.y + wxSystemSettings::GetMetric(wxSYS_CURSOR_Y, this) / 2),
                 wxSize(0, 0));
        Show();
    }

    bool IsClosed() const { return m_bClosed; }

    // Hides the note; wx deletes it once the event now handled is done,
    // which may be a click on the note itself.
    void Close() {
        if (m_bClosed) {
            return;
        }
        m_bClosed = true;
        Hide();
        wxTheApp->ScheduleForDestruction(this);
    }

private:
    bool m_bClosed = false;
};

bool ClosesANote(const wxEvent& event) {
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_LEFT_DOWN || type == wxEVT_RIGHT_DOWN || type == wxEVT_MIDDLE_DOWN ||
        type == wxEVT_CHAR_HOOK) {
        return true;
    }
    // The program's window left for another one.
    return type == wxEVT_ACTIVATE && !static_cast<const wxActivateEvent&>(event).GetActive();
}

}  // namespace

CHelpNoteProvider::CHelpNoteProvider() {
    wxEvtHandler::AddFilter(this);
}

CHelpNoteProvider::~CHelpNoteProvider() {
    wxEvtHandler::RemoveFilter(this);
}

bool CHelpNoteProvider::ShowHelp(wxWindowBase* pWindow) {
    const wxString text = GetHelpTextMaybeAtPoint(pWindow);
    if (text.empty()) {
        return false;
    }
    CloseNote();
    auto* pNote = new CHelpNote(static_cast<wxWindow*>(pWindow), text);
    m_pNote = pNote;
    pNote->ShowAtPointer();
    return true;
}

wxWindow* CHelpNoteProvider::OpenNote() const {
    auto* pNote = static_cast<CHelpNote*>(m_pNote.get());
    return pNote != nullptr && !pNote->IsClosed() ? pNote : nullptr;
}

bool CHelpNoteProvider::CloseNote() {
    auto* pNote = static_cast<CHelpNote*>(OpenNote());
    if (pNote == nullptr) {
        return false;
    }
    pNote->Close();
    m_pNote = nullptr;
    return true;
}

int CHelpNoteProvider::FilterEvent(wxEvent& event) {
    if (OpenNote() == nullptr || !ClosesANote(event)) {
        return Event_Skip;
    }
    CloseNote();
    // Escape only closes the note; every other key and click goes on to do
    // what it does.
    const bool escape = event.GetEventType() == wxEVT_CHAR_HOOK &&
                        static_cast<const wxKeyEvent&>(event).GetKeyCode() == WXK_ESCAPE;
    return escape ? Event_Processed : Event_Skip;
}

CHelpNoteProvider* CHelpNoteProvider::Get() {
    return dynamic_cast<CHelpNoteProvider*>(wxHelpProvider::Get());
}

bool CHelpNoteProvider::CloseOpenNote() {
    CHelpNoteProvider* pProvider = Get();
    return pProvider != nullptr && pProvider->CloseNote();
}
