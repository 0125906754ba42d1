#include "gui/KlavoraForm.h"

#include <strings.h>

#include <algorithm>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "controls/FocusMark.h"
#include "controls/KeyboardControl.h"
#include "gui/AccessibilityAdapter.h"
#include "gui/DialogFont.h"
#include "gui/DialogUnits.h"
#include "gui/OptionsWindow.h"
#include "gui/StandardAWindow.h"
#include "gui/TableLabelLayout.h"
#include "gui/TemperamentChoice.h"
#include "gui/TemperamentWindow.h"
#include "gui/WxCanvas.h"
#include "gui/WxPictures.h"
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"

namespace {

// The form: 490 x 282 dialog units.
constexpr int kFormWidthDu = 490;
constexpr int kFormHeightDu = 282;

wxString ToWx(const std::string& text) {
    const wxString converted = wxString::FromUTF8(text);
    // A name that is not UTF-8 still shows, byte for character.
    return (converted.empty() && !text.empty()) ? wxString::From8BitData(text.c_str()) : converted;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

wxPoint PosOf(const DuRect& rc) {
    return wxPoint(rc.Left(), rc.Top());
}

wxSize SizeOf(const DuRect& rc) {
    return wxSize(rc.Width(), rc.Height());
}

// A control whose natural height differs from its rectangle keeps its width
// and is centred vertically on the rectangle.
void CentreOnRect(wxWindow* pWindow, const DuRect& rc) {
    const int height = std::max(pWindow->GetBestSize().GetHeight(), rc.Height());
    pWindow->SetSize(rc.Left(), rc.Top() + (rc.Height() - height) / 2, rc.Width(), height);
}

}  // namespace

CKlavoraForm::CKlavoraForm(wxWindow* pParent)
    : wxPanel(pParent, wxID_ANY, wxPoint(0, 0), wxSize(DuX(kFormWidthDu), DuY(kFormHeightDu)),
              wxTAB_TRAVERSAL | wxBORDER_NONE),
      m_handCursor(MakeHandCursor()) {
    SetFont(MakeDialogFont());
    CreateControls();
}

CKlavoraForm::~CKlavoraForm() = default;

template <typename T>
T* CKlavoraForm::Place(T* pWindow) {
    m_controls[pWindow->GetId()] = pWindow;
    return pWindow;
}

void CKlavoraForm::CreateControls() {
    // Group boxes first, so the controls inside them lie above them.
    const struct {
        int id;
        const char* label;
        DuRect rc;
    } groups[] = {
        {1015, "Select a Temperament", {7, 67, 227, 31}},
        {1013, "Standard A", {7, 100, 227, 32}},
        {1014, "Click a key to tune or listen to a note", {7, 134, 227, 140}},
        {1010, "Cycle of Fifths", {256, 67, 227, 208}},
    };
    for (const auto& g : groups) {
        Place(new wxStaticBox(this, g.id, g.label, PosOf(g.rc), SizeOf(g.rc)));
    }
    CreateDrawnControls();

    const DuRect rcList{14, 78, 213, 14};
    m_pList = Place(new CTemperamentChoice(this, IDC_TEMPERAMENTS, PosOf(rcList), SizeOf(rcList)));
    CentreOnRect(m_pList, DuRect{14, 77, 213, 16});
    m_pList->Bind(wxEVT_COMBOBOX, &CKlavoraForm::OnTemperamentChoice, this);
    m_pList->SetHelpText("Choose the temperament to tune in.");

    // The line reaches to the button, so that "Standard A = 415.305 Hertz
    // (Hz)" is not cut short.
    const DuRect rcStandardA{32, 113, 128, 10};
    wxStaticText* pStandardA =
        Place(new wxStaticText(this, IDC_STANDARD_A, "Standard A", PosOf(rcStandardA),
                               SizeOf(rcStandardA), wxST_NO_AUTORESIZE));
    CentreOnRect(pStandardA, rcStandardA);
    pStandardA->SetLabelText(wxString());
    const DuRect rcChange{163, 111, 50, 14};
    wxButton* pChange = Place(
        new wxButton(this, IDC_CHANGE_STANDARD_A, "&Change...", PosOf(rcChange), SizeOf(rcChange)));
    CentreOnRect(pChange, rcChange);
    pChange->Bind(wxEVT_BUTTON, &CKlavoraForm::OnChangeStandardA, this);
    pChange->SetHelpText("Sets the frequency of Standard A, from 200 to 600 Hz.");

    CreateTable();

    // A window of its own rather than a static picture, so that it takes the
    // focus (after a choice in the list, on a click, by Tab) and its keys.
    const wxBitmap keys = MakeKeyboardBitmap();
    wxWindow* pKeyboard = Place(new wxWindow(this, IDC_KEYBOARD, PosOf(DuRect{26, 160, 0, 0}),
                                             keys.GetSize(), wxBORDER_NONE));
    // The key regions assume the picture at the control's client origin.
    auto pKeyCanvas = std::make_unique<CWxCanvas>(pKeyboard, keys);
    // The focus frame, and the bar on the key that Space would choose.
    pKeyCanvas->SetFocusMark([this, pCanvas = pKeyCanvas.get()] {
        std::vector<Rect> mark = FocusFrame(pCanvas->GetClientRect());
        if (m_pView != nullptr) {
            mark.push_back(m_pView->GetKeyboard().NoteMark(m_pView->GetKeyMark()));
        }
        return mark;
    });
    m_canvases[IDC_KEYBOARD] = std::move(pKeyCanvas);
    pKeyboard->Bind(wxEVT_LEFT_DOWN, &CKlavoraForm::OnKeyboardDown, this);
    pKeyboard->Bind(wxEVT_KEY_DOWN, &CKlavoraForm::OnKeyboardKey, this);
    // Entering counts as moving: the pointer may arrive without a motion.
    pKeyboard->Bind(wxEVT_MOTION, &CKlavoraForm::OnPointerMove, this);
    pKeyboard->Bind(wxEVT_ENTER_WINDOW, &CKlavoraForm::OnPointerMove, this);
    pKeyboard->SetHelpText(
        "Click a key to choose the note to tune or to listen to. Typing "
        "c, d, e, f, g, a or b chooses a note too; with Shift, the note a "
        "semitone above.");

    m_pAccessibility = std::make_unique<CAccessibilityAdapter>(*this);
    m_pAccessibility->AttachAll();
}

void CKlavoraForm::CreateDrawnControls() {
    const wxBitmap banner = MakeBannerBitmap();
    wxWindow* pBanner =
        Place(new wxWindow(this, IDC_BANNER, PosOf(DuRect{7, 7, 0, 0}), banner.GetSize()));
    m_canvases[IDC_BANNER] = std::make_unique<CWxCanvas>(pBanner, banner);
    pBanner->SetHelpText("The cents meter: how far the string being tuned is from the note.");

    const struct {
        int id;
        DuRect rc;
        long style;
        const char* help;
    } panels[] = {
        {IDC_HERTZ_PANEL, {7, 41, 167, 24}, wxBORDER_NONE, "The frequency measured."},
        {IDC_NOTE_PANEL, {178, 41, 136, 24}, wxBORDER_SUNKEN, "The note chosen."},
        {IDC_CENTS_PANEL,
         {317, 41, 166, 24},
         wxBORDER_NONE,
         "How many cents the measured note is off the chosen one."},
    };
    for (const auto& p : panels) {
        wxWindow* pPanel = Place(new wxWindow(this, p.id, PosOf(p.rc), SizeOf(p.rc), p.style));
        pPanel->SetBackgroundColour(*wxBLACK);
        pPanel->SetHelpText(p.help);
        m_canvases[p.id] = std::make_unique<CWxCanvas>(pPanel);
    }

    const DuRect rcCircle{269, 80, 203, 187};
    wxWindow* pCircle = Place(
        new wxWindow(this, IDC_CYCLE_OF_FIFTHS, PosOf(rcCircle), SizeOf(rcCircle), wxBORDER_NONE));
    pCircle->SetBackgroundColour(*wxWHITE);
    pCircle->Bind(wxEVT_LEFT_DOWN, &CKlavoraForm::OnCircleDown, this);
    pCircle->Bind(wxEVT_MOTION, &CKlavoraForm::OnPointerMove, this);
    pCircle->Bind(wxEVT_ENTER_WINDOW, &CKlavoraForm::OnPointerMove, this);
    pCircle->SetHelpText(
        "The offsets of the fifths from pure, in cents. Click a note name to "
        "start the temperament there.");
    m_canvases[IDC_CYCLE_OF_FIFTHS] = std::make_unique<CWxCanvas>(pCircle);
}

void CKlavoraForm::CreateTable() {
    // The values of the black keys (over them) and of the white keys (under
    // them), each centred where its key is; the layout gives them the room.
    const struct {
        int id;
        DuRect rc;
    } upper[] = {{IDC_LABEL_CS, {39, 151, 22, 8}},
                 {IDC_LABEL_DS, {69, 151, 22, 8}},
                 {IDC_LABEL_FS, {114, 151, 22, 8}},
                 {IDC_LABEL_GS, {145, 151, 22, 8}},
                 {IDC_LABEL_AS, {172, 151, 30, 8}}},
      lower[] = {{IDC_LABEL_C, {28, 248, 22, 8}},  {IDC_LABEL_D, {54, 248, 22, 8}},
                 {IDC_LABEL_E, {79, 248, 22, 8}},  {IDC_LABEL_F, {105, 248, 22, 8}},
                 {IDC_LABEL_G, {131, 248, 22, 8}}, {IDC_LABEL_A, {158, 248, 22, 8}},
                 {IDC_LABEL_B, {184, 248, 28, 8}}};
    // Inside the keyboard's group box, clear of its edges.
    const DuRect rcGroup{7, 134, 227, 140};
    m_pTableLayout = std::make_unique<CTableLabelLayout>(
        this, GetFont(), rcGroup.Left() + CTableLabelLayout::kMinGap,
        rcGroup.Left() + rcGroup.Width() - CTableLabelLayout::kMinGap);
    auto addRow = [this](const auto& labels, bool bUp) {
        std::vector<wxStaticText*> apLabels;
        std::vector<int> anCentres;
        for (const auto& l : labels) {
            apLabels.push_back(
                Place(new wxStaticText(this, l.id, wxString(), PosOf(l.rc), SizeOf(l.rc),
                                       wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE)));
            anCentres.push_back(l.rc.Left() + l.rc.Width() / 2);
        }
        m_pTableLayout->AddRow(apLabels, anCentres, labels[0].rc.Top(), bUp);
    };
    addRow(upper, true);
    addRow(lower, false);

    const DuRect rcTitle{25, 260, 184, 9};
    wxStaticText* pTitle =
        Place(new wxStaticText(this, IDC_DISPLAY_TITLE, "Display Options", PosOf(rcTitle),
                               SizeOf(rcTitle), wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE));
    // As tall as the font's line, so it still fits the group box when a
    // second line of values pushes it down.
    pTitle->SetSize(rcTitle.Left(), rcTitle.Top(), rcTitle.Width(), GetCharHeight());
    m_pTableLayout->SetCaption(pTitle, rcTitle.Top());
    m_pTableLayout->LayoutAll();
}

wxWindow* CKlavoraForm::Control(int controlId) const {
    const auto it = m_controls.find(controlId);
    return it != m_controls.end() ? it->second : nullptr;
}

void CKlavoraForm::SetMessageHost(IMessageHost* pHost) {
    m_pHost = pHost != nullptr ? pHost : &m_wxHost;
}

void CKlavoraForm::OnTypedChar(int ch) {
    if (m_pView != nullptr) {
        m_pView->PreTranslateChar(ch);
        RefreshDrawnControls();
    }
}

void CKlavoraForm::RefreshDrawnControls() {
    if (m_pView != nullptr) {
        m_pView->OnCtlColor();
        m_pAccessibility->Update();
    }
    // The keyboard's mark follows the chosen note.
    wxWindow* pKeyboard = Control(IDC_KEYBOARD);
    if (pKeyboard != nullptr && pKeyboard->HasFocus()) {
        pKeyboard->Refresh(false);
    }
}

// ---- list ----

int CKlavoraForm::ListAddString(const std::string& text) {
    const auto it = std::upper_bound(m_astrList.begin(), m_astrList.end(), text, LessNoCase);
    const int index = static_cast<int>(it - m_astrList.begin());
    const int selection = ListGetCurSel();
    m_astrList.insert(it, text);
    m_pList->Insert(ToWx(text), static_cast<unsigned>(index));
    m_pList->SetSelection(selection >= index ? selection + 1 : selection);
    return index;
}

void CKlavoraForm::ListAddStrings(const std::vector<std::string>& texts) {
    if (texts.empty()) {
        return;
    }
    const int selection = ListGetCurSel();
    const std::size_t before = m_astrList.size();
    std::vector<std::pair<std::string, bool>> merged;
    merged.reserve(before + texts.size());
    for (std::size_t i = 0; i < before; ++i) {
        merged.emplace_back(m_astrList[i], static_cast<int>(i) == selection);
    }
    std::vector<std::string> added(texts);
    std::stable_sort(added.begin(), added.end(), LessNoCase);
    for (std::string& text : added) {
        merged.emplace_back(std::move(text), false);
    }
    // Entries already listed come before new ones that compare equal, as
    // ListAddString places them.
    std::inplace_merge(merged.begin(), merged.begin() + static_cast<long>(before), merged.end(),
                       [](const auto& a, const auto& b) { return LessNoCase(a.first, b.first); });
    wxArrayString items;
    items.Alloc(merged.size());
    m_astrList.clear();
    m_astrList.reserve(merged.size());
    int newSelection = wxNOT_FOUND;
    for (std::size_t i = 0; i < merged.size(); ++i) {
        items.Add(ToWx(merged[i].first));
        m_astrList.push_back(std::move(merged[i].first));
        if (merged[i].second) {
            newSelection = static_cast<int>(i);
        }
    }
    // One fill of the whole list: inserting entries one by one costs time
    // that grows with the square of their number.
    m_pList->SetAll(items);
    m_pList->SetSelection(newSelection);
}

int CKlavoraForm::ListFindStringExact(const std::string& text) const {
    for (std::size_t i = 0; i < m_astrList.size(); ++i) {
        if (strcasecmp(m_astrList[i].c_str(), text.c_str()) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CKlavoraForm::ListGetCurSel() const {
    return m_pList->GetSelection();
}

bool CKlavoraForm::ListSetCurSel(int index) {
    const bool ok = index >= 0 && index < ListGetCount();
    m_pList->SetSelection(ok ? index : wxNOT_FOUND);
    return ok;
}

std::string CKlavoraForm::ListGetText(int index) const {
    return (index >= 0 && index < ListGetCount()) ? m_astrList[static_cast<std::size_t>(index)]
                                                  : std::string();
}

bool CKlavoraForm::ListDeleteString(int index) {
    if (index < 0 || index >= ListGetCount()) {
        return false;
    }
    const int selection = ListGetCurSel();
    m_astrList.erase(m_astrList.begin() + index);
    m_pList->Delete(static_cast<unsigned>(index));
    m_pList->SetSelection(selection == index  ? wxNOT_FOUND
                          : selection > index ? selection - 1
                                              : selection);
    return true;
}

int CKlavoraForm::ListGetCount() const {
    return static_cast<int>(m_astrList.size());
}

// ---- controls ----

void CKlavoraForm::SetLabelText(int controlId, const std::string& text) {
    if (auto* pText = dynamic_cast<wxStaticText*>(Control(controlId))) {
        // The text is shown as it is: an ampersand is no mnemonic here.
        pText->SetLabelText(ToWx(text));
        m_pTableLayout->LayoutRowOf(pText);
    } else if (wxWindow* pWindow = Control(controlId)) {
        pWindow->SetLabel(ToWx(text));
    }
}

void CKlavoraForm::EnableControl(int controlId, bool enable) {
    // A disabled window gets no pointer motion, yet the hand shows over the
    // keyboard and the names whatever the state: the two pictures stay
    // enabled for the toolkit and only stop sending clicks.
    if (controlId == IDC_KEYBOARD || controlId == IDC_CYCLE_OF_FIFTHS) {
        if (enable) {
            m_disabledPictures.erase(controlId);
        } else {
            m_disabledPictures.insert(controlId);
        }
        return;
    }
    if (wxWindow* pWindow = Control(controlId)) {
        pWindow->Enable(enable);
    }
}

bool CKlavoraForm::IsControlEnabled(int controlId) const {
    const wxWindow* pWindow = Control(controlId);
    return pWindow != nullptr && pWindow->IsEnabled() && m_disabledPictures.count(controlId) == 0;
}

void CKlavoraForm::SetFocus(int controlId) {
    // The drawn controls take the focus too, so that after a choice in the
    // list typed letters and the arrow keys no longer change it.
    if (wxWindow* pWindow = Control(controlId)) {
        pWindow->SetFocus();
    }
}

int CKlavoraForm::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
    if (m_bHoldMessages && (type & MB_YESNO) != MB_YESNO) {
        m_held.push_back(SHeldMessage{text, caption, type});
        return IDOK;
    }
    return m_pHost->MessageBox(text, caption, type);
}

void CKlavoraForm::ReleaseMessages() {
    m_bHoldMessages = false;
    std::vector<SHeldMessage> held;
    held.swap(m_held);
    for (const SHeldMessage& message : held) {
        m_pHost->MessageBox(message.text, message.caption, message.type);
    }
}

void CKlavoraForm::GetPointerPosition(int controlId, int& x, int& y) const {
    const wxWindow* pWindow = Control(controlId);
    if (pWindow == nullptr) {
        x = y = -1000;
        return;
    }
    const wxPoint point = pWindow->ScreenToClient(wxGetMousePosition());
    x = point.x;
    y = point.y;
}

void CKlavoraForm::GetControlSize(int controlId, int& width, int& height) const {
    const wxWindow* pWindow = Control(controlId);
    const wxSize size = pWindow != nullptr ? pWindow->GetClientSize() : wxSize(0, 0);
    width = size.GetWidth();
    height = size.GetHeight();
}

// ---- dialogs ----

int CKlavoraForm::RunModal(wxDialog& dialog) {
    wxDialog* pOuter = m_pRunningDialog;
    wxWindow* pOuterParent = m_wxHost.GetParent();
    m_pRunningDialog = &dialog;
    m_wxHost.SetParent(&dialog);
    CAccessibilityAdapter::LabelDialogFields(&dialog);
    const int result = dialog.ShowModal();
    m_pRunningDialog = pOuter;
    m_wxHost.SetParent(pOuterParent);
    return result == wxID_OK ? IDOK : IDCANCEL;
}

int CKlavoraForm::RunTemperamentEditor(CTemperamentDlg& dlg) {
    CTemperamentWindow window(wxGetTopLevelParent(this), dlg, *this);
    return RunModal(window);
}

int CKlavoraForm::RunStandardADialog(CStandardADlg& dlg) {
    CStandardAWindow window(wxGetTopLevelParent(this), dlg, *this);
    return RunModal(window);
}

int CKlavoraForm::RunOptionsDialog(COptionsDlg& dlg) {
    COptionsWindow window(wxGetTopLevelParent(this), dlg);
    return RunModal(window);
}

ICanvas* CKlavoraForm::GetCanvas(int controlId) {
    const auto it = m_canvases.find(controlId);
    return it != m_canvases.end() ? it->second.get() : nullptr;
}

void CKlavoraForm::OnWaveMessage(unsigned int nMessage, WAVEHDR* pHeader) {
    if (m_pView != nullptr) {
        m_pView->OnWaveMessage(nMessage, pHeader);
        // A reading, or a device that stopped.
        m_pAccessibility->Update();
    }
}

bool CKlavoraForm::OnWaveMessageQuietly(unsigned int nMessage, WAVEHDR* pHeader) {
    return m_pView == nullptr || m_pView->OnWaveMessageQuietly(nMessage, pHeader);
}

// ---- the user's actions ----

void CKlavoraForm::OnKeyboardDown(wxMouseEvent& event) {
    // A click takes the focus: typed letters then choose notes, and no
    // longer reach the list.
    SetFocus(IDC_KEYBOARD);
    if (m_pView != nullptr && IsControlEnabled(IDC_KEYBOARD)) {
        m_pView->OnKeyboardClick();
        RefreshDrawnControls();
    }
    event.Skip();
}

void CKlavoraForm::OnCircleDown(wxMouseEvent& event) {
    SetFocus(IDC_CYCLE_OF_FIFTHS);
    if (m_pView != nullptr && IsControlEnabled(IDC_CYCLE_OF_FIFTHS)) {
        m_pView->OnCycleOfFifthsClick();
        RefreshDrawnControls();
    }
    event.Skip();
}

void CKlavoraForm::OnKeyboardKey(wxKeyEvent& event) {
    int key = 0;
    switch (event.GetKeyCode()) {
        case WXK_LEFT:
        case WXK_NUMPAD_LEFT:
            key = CKeyboardControl::kKeyLeft;
            break;
        case WXK_RIGHT:
        case WXK_NUMPAD_RIGHT:
            key = CKeyboardControl::kKeyRight;
            break;
        case WXK_SPACE:
        case WXK_NUMPAD_SPACE:
            key = CKeyboardControl::kKeySpace;
            break;
        default:
            break;
    }
    if (key == 0 || event.HasModifiers()) {
        event.Skip();
        return;
    }
    // Taken even while the picture takes no clicks, so that the arrows do
    // not move the focus instead.
    if (m_pView != nullptr && IsControlEnabled(IDC_KEYBOARD)) {
        m_pView->OnKeyboardKey(key);
        RefreshDrawnControls();
    }
}

void CKlavoraForm::OnPointerMove(wxMouseEvent& event) {
    auto* pWindow = dynamic_cast<wxWindow*>(event.GetEventObject());
    if (pWindow != nullptr && m_pView != nullptr) {
        pWindow->SetCursor(m_pView->WantsKeyCursor() ? m_handCursor : wxNullCursor);
    }
    event.Skip();
}

void CKlavoraForm::OnTemperamentChoice(wxCommandEvent&) {
    if (m_pView != nullptr) {
        m_pView->OnSelchangeTemperament();
        RefreshDrawnControls();
    }
}

void CKlavoraForm::OnChangeStandardA(wxCommandEvent&) {
    if (m_pView != nullptr) {
        m_pView->OnChangeStandardA();
        RefreshDrawnControls();
    }
}
