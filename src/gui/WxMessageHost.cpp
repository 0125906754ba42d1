#include "gui/WxMessageHost.h"

#include <wx/msgdlg.h>

long CWxMessageHost::StyleOf(unsigned type) {
    long style = (type & MB_YESNO) == MB_YESNO ? wxYES_NO : wxOK;
    if ((type & MB_YESNO) == MB_YESNO && (type & MB_DEFBUTTON2) != 0) {
        style |= wxNO_DEFAULT;
    }
    switch (type & 0xF0u) {
        case MB_ICONEXCLAMATION:
            style |= wxICON_EXCLAMATION;
            break;
        case MB_ICONINFORMATION:
            style |= wxICON_INFORMATION;
            break;
        default:
            break;
    }
    return style;
}

int CWxMessageHost::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
    wxString message = wxString::FromUTF8(text);
    message.Replace("\r\n", "\n");
    wxMessageDialog box(m_pParent, message, wxString::FromUTF8(caption), StyleOf(type));
    const int answer = box.ShowModal();
    if ((type & MB_YESNO) == MB_YESNO) {
        // Closing a question any other way counts as No.
        return answer == wxID_YES ? IDYES : IDNO;
    }
    return IDOK;
}
