// SPDX-License-Identifier: GPL-3.0-or-later
// Routing of the view's commands, the enabled and checked state of each, and
// the cursor over the keys and the circle's note names.
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"

namespace {

// The play mode of a play-mode command, or -1.
int PlayModeOf(int commandId) {
    switch (commandId) {
        case ID_PLAY_SINGLE:
            return 0;
        case ID_PLAY_MINOR_THIRDS:
            return 1;
        case ID_PLAY_MAJOR_THIRDS:
            return 2;
        case ID_PLAY_FOURTHS:
            return 3;
        case ID_PLAY_FIFTHS:
            return 4;
        case ID_PLAY_MINOR_TRIADS:
            return 5;
        case ID_PLAY_MAJOR_TRIADS:
            return 6;
        default:
            return -1;
    }
}

// The display mode of a display command, or -1.
int DisplayModeOf(int commandId) {
    return (commandId >= ID_VIEW_CENTS && commandId <= ID_VIEW_FREQUENCIES)
               ? commandId - ID_VIEW_CENTS + 1
               : -1;
}

}  // namespace

bool CKlavoraView::OnCommand(int commandId) {
    if (PlayModeOf(commandId) >= 0) {
        OnPlayMode(PlayModeOf(commandId));
        return true;
    }
    if (DisplayModeOf(commandId) > 0) {
        SetDisplayMode(DisplayModeOf(commandId));
        return true;
    }
    switch (commandId) {
        case ID_NEW_TEMPERAMENT:
            OnNewTemperament();
            return true;
        case ID_EDIT_TEMPERAMENT:
            OnEditTemperament();
            return true;
        case ID_DELETE_TEMPERAMENT:
            OnDeleteTemperament();
            return true;
        case ID_ROTATE_RIGHT:
            OnRotateRight();
            return true;
        case ID_ROTATE_LEFT:
            OnRotateLeft();
            return true;
        case ID_OPTIONS:
            OnOptions();
            return true;
        case ID_TUNE_MICROPHONE:
            OnTuneWithMicrophone();
            return true;
        case ID_PLAY_NOTES:
            OnPlayNotes();
            return true;
        case ID_OCTAVE_HIGHER:
            OnOctaveHigher();
            return true;
        case ID_OCTAVE_LOWER:
            OnOctaveLower();
            return true;
        case ID_EXACT_TEMPERAMENTS:
            OnExactTemperaments();
            return true;
        default:
            return false;
    }
}

bool CKlavoraView::OnUpdateCommand(CCmdUI* pCmdUI) const {
    const int id = pCmdUI->m_nID;
    if (PlayModeOf(id) >= 0) {
        OnUpdatePlayMode(pCmdUI);
        return true;
    }
    if (DisplayModeOf(id) > 0) {
        OnUpdateDisplayMode(pCmdUI);
        return true;
    }
    switch (id) {
        case ID_TUNE_MICROPHONE:
            OnUpdateTuneWithMicrophone(pCmdUI);
            return true;
        case ID_PLAY_NOTES:
            OnUpdatePlayNotes(pCmdUI);
            return true;
        case ID_NEW_TEMPERAMENT:
            OnUpdateNewTemperament(pCmdUI);
            return true;
        case ID_OPTIONS:
            OnUpdateOptions(pCmdUI);
            return true;
        case ID_EDIT_TEMPERAMENT:
            OnUpdateEditTemperament(pCmdUI);
            return true;
        case ID_DELETE_TEMPERAMENT:
            OnUpdateDeleteTemperament(pCmdUI);
            return true;
        case ID_OCTAVE_HIGHER:
            OnUpdateOctaveHigher(pCmdUI);
            return true;
        case ID_OCTAVE_LOWER:
            OnUpdateOctaveLower(pCmdUI);
            return true;
        case ID_ROTATE_LEFT:
        case ID_ROTATE_RIGHT:
            OnUpdateRotate(pCmdUI);
            return true;
        case ID_TUNER_INDICATOR:
            OnUpdateTunerIndicator(pCmdUI);
            return true;
        case ID_EXACT_TEMPERAMENTS:
            OnUpdateExactTemperaments(pCmdUI);
            return true;
        default:
            return false;
    }
}

void CKlavoraView::OnUpdateTuneWithMicrophone(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(m_bTemperamentsReady && !m_bNoRecordingDevice);
    pCmdUI->SetCheck(m_bListening);
}

void CKlavoraView::OnUpdatePlayNotes(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(m_bTemperamentsReady && !m_bNoPlaybackDevice);
    pCmdUI->SetCheck(m_bPlaying);
}

void CKlavoraView::OnUpdateNewTemperament(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(!m_bPlaying && !m_bListening);
}

void CKlavoraView::OnUpdateOptions(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(!m_bPlaying && !m_bListening);
}

void CKlavoraView::OnUpdateEditTemperament(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(!m_bPlaying && !m_bListening && m_bTemperamentsReady);
}

void CKlavoraView::OnUpdateDeleteTemperament(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(!m_bPlaying && !m_bListening && m_bTemperamentsReady);
}

void CKlavoraView::OnUpdatePlayMode(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(m_bPlaying);
    pCmdUI->SetCheck(m_bPlaying && m_nPlayMode == PlayModeOf(pCmdUI->m_nID));
}

void CKlavoraView::OnUpdateOctaveHigher(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(m_bPlaying && m_dOctaveFactor < 4.0 && m_bTemperamentsReady);
}

void CKlavoraView::OnUpdateOctaveLower(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(m_bPlaying && m_dOctaveFactor > 0.125 && m_bTemperamentsReady);
}

void CKlavoraView::OnUpdateDisplayMode(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(m_bTemperamentsReady);
    pCmdUI->SetCheck(m_nView == DisplayModeOf(pCmdUI->m_nID));
}

void CKlavoraView::OnUpdateRotate(CCmdUI* pCmdUI) const {
    pCmdUI->Enable(m_bTemperamentsReady);
}

void CKlavoraView::OnUpdateExactTemperaments(CCmdUI* pCmdUI) const {
    // A setting, not an action on a temperament: always at hand.
    pCmdUI->Enable(true);
    pCmdUI->SetCheck(m_bExactTemperaments);
}

bool CKlavoraView::WantsKeyCursor() const {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    m_form.GetPointerPosition(IDC_KEYBOARD, x, y);
    m_form.GetControlSize(IDC_KEYBOARD, width, height);
    if (x >= 0 && y >= 0 && x < width && y < height) {
        return true;
    }
    m_form.GetPointerPosition(IDC_CYCLE_OF_FIFTHS, x, y);
    return m_cycleOfFifths.HitTest(x, y) > 0;
}
