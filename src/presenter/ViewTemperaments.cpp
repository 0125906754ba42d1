// SPDX-License-Identifier: GPL-3.0-or-later
// The temperament commands: choosing, creating, editing, deleting and rotating
// temperaments, keeping the catalogue, the list and the store in step.
#include "presenter/KlavoraView.h"
#include "presenter/MessageHost.h"
#include "presenter/TemperamentDlg.h"
#include "presenter/ViewIds.h"
#include "store/TemperamentStore.h"
#include "tuning/TemperamentSet.h"

void CKlavoraView::OnSelchangeTemperament() {
    const int index = m_form.ListGetCurSel();
    if (index < 0) {
        return;
    }
    m_strTemperament = m_form.ListGetText(index);
    m_form.SetFocus(IDC_KEYBOARD);
    m_cycleOfFifths.SetTemperament(CurrentTemperament());
    SelectNote(m_nNote);
}

void CKlavoraView::OnNewTemperament() {
    CTemperamentDlg dlg("", nullptr);
    m_form.RunTemperamentEditor(dlg);
    AddSavedTemperament(dlg);
}

void CKlavoraView::AddSavedTemperament(const CTemperamentDlg& dlg) {
    std::string name;
    std::string text;
    if (dlg.GetResult(name, text) && m_pTemperaments && m_pTemperaments->AddFromText(text, name)) {
        m_form.ListAddString(name);
    }
}

void CKlavoraView::OnEditTemperament() {
    if (!m_bTemperamentsReady) {
        return;
    }
    CTemperament* t = CurrentTemperament();
    if (t == nullptr) {
        return;  // nothing to edit: the list is empty
    }
    CTemperamentDlg dlg(m_strTemperament, t);
    m_form.RunTemperamentEditor(dlg);
    m_cycleOfFifths.SetTemperament(CurrentTemperament());
    ShowTemperamentTable();
}

void CKlavoraView::OnDeleteTemperament() {
    const int index = m_form.ListFindStringExact(m_strTemperament);
    if (index < 0) {
        return;
    }
    // No is the default: Enter alone must not delete a temperament for good.
    if (m_form.MessageBox("Are you sure you want to delete this temperament? This action is not "
                          "reversible!",
                          "Delete Temperament",
                          MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    // The circle may be showing the temperament that is about to go.
    if (m_cycleOfFifths.GetTemperament() == CurrentTemperament()) {
        m_cycleOfFifths.ClearTemperament();
    }
    if (m_pTemperaments) {
        m_pTemperaments->Remove(m_strTemperament);
    }
    m_form.ListDeleteString(index);
    const bool selected = m_form.ListSetCurSel(0);
    DeleteTemperamentValue(m_strTemperament);
    if (selected) {
        OnSelchangeTemperament();
    }
    if (m_form.ListGetCount() == 0) {
        m_strTemperament.clear();
        m_cycleOfFifths.ClearTemperament();
        m_form.EnableControl(IDC_KEYBOARD, false);
        m_form.EnableControl(IDC_CYCLE_OF_FIFTHS, false);
        m_bTemperamentsReady = false;
    }
}

void CKlavoraView::OnRotateRight() {
    CTemperament* t = m_bTemperamentsReady ? CurrentTemperament() : nullptr;
    if (t == nullptr) {
        return;
    }
    t->Rotate(t->GetRotation() + 1);
    m_cycleOfFifths.SetTemperament(t);
    ShowTemperamentTable();
}

void CKlavoraView::OnRotateLeft() {
    CTemperament* t = m_bTemperamentsReady ? CurrentTemperament() : nullptr;
    if (t == nullptr) {
        return;
    }
    t->Rotate(t->GetRotation() - 1);
    m_cycleOfFifths.SetTemperament(t);
    ShowTemperamentTable();
}

void CKlavoraView::OnCycleOfFifthsClick() {
    if (!m_bTemperamentsReady) {
        return;
    }
    int x = 0;
    int y = 0;
    m_form.GetPointerPosition(IDC_CYCLE_OF_FIFTHS, x, y);
    const int label = m_cycleOfFifths.HitTest(x, y);
    CTemperament* t = CurrentTemperament();
    if (label == 0 || t == nullptr) {
        return;
    }
    t->Rotate(label - 1);
    m_cycleOfFifths.SetTemperament(t);
    ShowTemperamentTable();
}

void CKlavoraView::OnExactTemperaments() {
    m_bExactTemperaments = !m_bExactTemperaments;
    if (m_pTemperaments) {
        m_pTemperaments->SetArithmetic(Arithmetic());
    }
    m_cycleOfFifths.SetTemperament(m_bTemperamentsReady ? CurrentTemperament() : nullptr);
    // The target, the voices, the table and the played frequency.
    SelectNote(m_nNote);
}
