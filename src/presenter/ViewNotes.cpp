// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing a note (keys and typed letters), the octave commands, the display
// mode and Standard A: everything that ends in SelectNote.

#include "audio/PitchDetector.h"
#include "controls/KeyboardControl.h"
#include "presenter/KlavoraView.h"
#include "presenter/StandardADlg.h"
#include "presenter/ViewIds.h"
#include "tuning/NumberFormat.h"
#include "tuning/TemperamentTables.h"

namespace {

// The note a typed letter chooses: lower case the natural, upper case the
// note a semitone above it; -1 for any other character.
int NoteOfLetter(int ch) {
    switch (ch) {
        case 'c':
            return 0;
        case 'C':
            return 1;
        case 'd':
            return 2;
        case 'D':
            return 3;
        case 'e':
            return 4;
        case 'E':
            return 5;
        case 'f':
            return 5;
        case 'F':
            return 6;
        case 'g':
            return 7;
        case 'G':
            return 8;
        case 'a':
            return 9;
        case 'A':
            return 10;
        case 'b':
            return 11;
        case 'B':
            return 0;
        default:
            return -1;
    }
}

}  // namespace

double CKlavoraView::GetNoteFrequency(int note, double factor) const {
    if (!m_bTemperamentsReady) {
        return 0.0;
    }
    const CTemperament* t = CurrentTemperament();
    if (t == nullptr) {
        return 0.0;
    }
    return FrequencyFromStandardA(*t, m_dStandardA, note, factor);
}

double CKlavoraView::TargetFrequency(int note) const {
    if (!m_bTemperamentsReady) {
        return 0.0;
    }
    const CTemperament* t = CurrentTemperament();
    if (t == nullptr) {
        return 0.0;
    }
    return TargetFrequencies(*t, m_dStandardA, Arithmetic())[FoldNote(note)];
}

void CKlavoraView::SelectNote(int note) {
    // Notes outside the octave cannot come from the keys or letters; fold
    // them so that no table lookup leaves the twelve names.
    const int n = FoldNote(note);
    const char* name = NoteName(n);
    const double f = TargetFrequency(n);
    m_nNote = n;
    m_nKeyMark = n;
    m_dTargetFrequency = f;
    if (m_pDetector) {
        m_pDetector->SetTarget(f);
    }
    UpdateVoices();
    m_panelNote.SetText(name);
    ShowTemperamentTable();
    ShowPlayedFrequency();
}

void CKlavoraView::OnKeyboardClick() {
    int x = 0;
    int y = 0;
    m_form.GetPointerPosition(IDC_KEYBOARD, x, y);
    const int key = m_keyboard.HitTest(x, y);
    if (key > 0) {
        SelectNote(key - 1);
    }
}

void CKlavoraView::OnKeyboardKey(int key) {
    switch (key) {
        case CKeyboardControl::kKeyLeft:
            m_nKeyMark = CKeyboardControl::StepNote(m_nKeyMark, -1);
            break;
        case CKeyboardControl::kKeyRight:
            m_nKeyMark = CKeyboardControl::StepNote(m_nKeyMark, 1);
            break;
        case CKeyboardControl::kKeySpace:
            SelectNote(m_nKeyMark);
            break;
        default:
            break;
    }
}

bool CKlavoraView::PreTranslateChar(int ch) {
    const int note = NoteOfLetter(ch);
    if (note >= 0) {
        SelectNote(note);
    }
    return false;
}

void CKlavoraView::OnOctaveHigher() {
    m_dOctaveFactor *= 2;
    SelectNote(m_nNote);
}

void CKlavoraView::OnOctaveLower() {
    m_dOctaveFactor *= 0.5;
    SelectNote(m_nNote);
}

void CKlavoraView::SetDisplayMode(int mode) {
    m_nView = mode;
    SelectNote(m_nNote);
}

void CKlavoraView::UpdateStandardA(double hertz) {
    m_dStandardA = hertz;
    // "%g": six significant digits, as a default stream writes a double.
    m_strStandardA = "Standard A = " + FormatStreamDouble(hertz) + " Hertz (Hz)";
    UpdateData();
    SelectNote(m_nNote);
}

void CKlavoraView::OnChangeStandardA() {
    CStandardADlg dlg;
    dlg.SetStandardA(m_dStandardA);
    if (m_form.RunStandardADialog(dlg) == IDOK) {
        UpdateStandardA(dlg.GetStandardA());
    }
}
