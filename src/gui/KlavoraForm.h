// SPDX-License-Identifier: GPL-3.0-or-later
// CKlavoraForm is the main form: the wx panel with the banner, the three
// readout panels, the temperament list, the Standard A line, the keyboard
// picture with its table and the circle of fifths, placed from the form's
// dialog units. It does what the view asks through IKlavoraForm and forwards
// the user's clicks, choices and typed letters to the view; it keeps no state
// of its own beyond the list's text. It also receives the sound devices'
// completions for the view. User-interface thread only.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <wx/cursor.h>
#include <wx/panel.h>

#include "gui/WxMessageHost.h"
#include "presenter/IKlavoraForm.h"
#include "sound/WaveLayer.h"

class wxStaticText;
class CAccessibilityAdapter;
class CKlavoraView;
class CWxCanvas;
class CTableLabelLayout;
class CTemperamentChoice;
class wxDialog;

class CKlavoraForm : public wxPanel, public IKlavoraForm, public CWaveSink {
public:
    explicit CKlavoraForm(wxWindow* pParent);
    ~CKlavoraForm() override;

    // The view whose handlers the form calls; null once it is gone.
    void SetView(CKlavoraView* pView) { m_pView = pView; }
    CKlavoraView* GetView() const { return m_pView; }

    // Where message boxes go: null restores the wx message dialogs. Tests
    // answer them with a host of their own.
    void SetMessageHost(IMessageHost* pHost);
    // The modal dialog now running, if any.
    wxDialog* GetRunningDialog() const { return m_pRunningDialog; }
    // A control of the form by its id; null for an unknown id.
    wxWindow* Control(int controlId) const;
    // Whether the view left the control enabled.
    bool IsControlEnabled(int controlId) const;

    // While held, boxes with only an OK button wait (answered OK) until
    // ReleaseMessages shows them: the start-up's messages appear over the
    // main window instead of before it.
    void HoldMessages() { m_bHoldMessages = true; }
    void ReleaseMessages();
    std::size_t HeldMessageCount() const { return m_held.size(); }

    // A character typed while the main window is active.
    void OnTypedChar(int ch);
    // Lets the view redraw the drawn controls, as it does whenever a child
    // control paints; called after every handler that may change them.
    void RefreshDrawnControls();

    // ---- IKlavoraForm ----
    int ListAddString(const std::string& text) override;
    void ListAddStrings(const std::vector<std::string>& texts) override;
    int ListFindStringExact(const std::string& text) const override;
    int ListGetCurSel() const override;
    bool ListSetCurSel(int index) override;
    std::string ListGetText(int index) const override;
    bool ListDeleteString(int index) override;
    int ListGetCount() const override;
    void SetLabelText(int controlId, const std::string& text) override;
    void EnableControl(int controlId, bool enable) override;
    using wxPanel::SetFocus;
    void SetFocus(int controlId) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
    void GetPointerPosition(int controlId, int& x, int& y) const override;
    void GetControlSize(int controlId, int& width, int& height) const override;
    int RunTemperamentEditor(CTemperamentDlg& dlg) override;
    int RunStandardADialog(CStandardADlg& dlg) override;
    int RunOptionsDialog(COptionsDlg& dlg) override;
    ICanvas* GetCanvas(int controlId) override;
    CWaveSink* GetWaveReceiver() override { return this; }

    // ---- CWaveSink ----
    void OnWaveMessage(unsigned int nMessage, WAVEHDR* pHeader) override;
    bool OnWaveMessageQuietly(unsigned int nMessage, WAVEHDR* pHeader) override;

private:
    void CreateControls();
    void CreateDrawnControls();
    void CreateTable();
    template <typename T>
    T* Place(T* pWindow);
    // Runs a dialog window modally; IDOK or IDCANCEL.
    int RunModal(wxDialog& dialog);

    void OnKeyboardDown(wxMouseEvent& event);
    void OnKeyboardKey(wxKeyEvent& event);
    void OnCircleDown(wxMouseEvent& event);
    void OnPointerMove(wxMouseEvent& event);
    void OnTemperamentChoice(wxCommandEvent& event);
    void OnChangeStandardA(wxCommandEvent& event);

    CKlavoraView* m_pView = nullptr;
    CTemperamentChoice* m_pList = nullptr;
    // The names exactly as the view gave them, in list order.
    std::vector<std::string> m_astrList;
    std::map<int, wxWindow*> m_controls;
    std::map<int, std::unique_ptr<CWxCanvas>> m_canvases;
    std::unique_ptr<CTableLabelLayout> m_pTableLayout;
    // What screen readers are told about the list and the drawn controls.
    std::unique_ptr<CAccessibilityAdapter> m_pAccessibility;
    CWxMessageHost m_wxHost;
    IMessageHost* m_pHost = &m_wxHost;
    wxDialog* m_pRunningDialog = nullptr;
    wxCursor m_handCursor;
    // The pictures the view disabled: they take no clicks.
    std::set<int> m_disabledPictures;
    struct SHeldMessage {
        std::string text;
        std::string caption;
        unsigned type;
    };
    bool m_bHoldMessages = false;
    std::vector<SHeldMessage> m_held;
};
