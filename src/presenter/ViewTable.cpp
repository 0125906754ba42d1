// SPDX-License-Identifier: GPL-3.0-or-later
// The table under the keys: one value per note for the chosen display mode,
// and its caption.
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"
#include "tuning/TemperamentTables.h"

int NoteLabelId(int note) {
    static const int kLabels[12] = {IDC_LABEL_C,  IDC_LABEL_CS, IDC_LABEL_D,  IDC_LABEL_DS,
                                    IDC_LABEL_E,  IDC_LABEL_F,  IDC_LABEL_FS, IDC_LABEL_G,
                                    IDC_LABEL_GS, IDC_LABEL_A,  IDC_LABEL_AS, IDC_LABEL_B};
    return (note >= 0 && note < 12) ? kLabels[note] : 0;
}

void CKlavoraView::ShowTemperamentTable() {
    switch (m_nView) {
        case kDisplayCents:
            BuildCentsTable();
            break;
        case kDisplayDeviations:
            BuildDeviationsTable();
            break;
        case kDisplayMinorThirds:
            BuildMinorThirdsTable();
            break;
        case kDisplayMajorThirds:
            BuildMajorThirdsTable();
            break;
        case kDisplayFrequencies:
            BuildFrequencyTable();
            break;
        default:
            break;
    }
    if (m_nView >= kDisplayCents && m_nView <= kDisplayFrequencies) {
        m_strDisplayTitle = TableCaption(m_nView);
    }
    UpdateData();
}

void CKlavoraView::SetNoteLabel(int note, const std::string& text) {
    const int id = NoteLabelId(note);
    if (id != 0) {
        m_form.SetLabelText(id, text);
    }
    UpdateData();
}

void CKlavoraView::BuildTable(int mode) {
    if (!m_bTemperamentsReady) {
        return;
    }
    const CTemperament* t = CurrentTemperament();
    if (t == nullptr) {
        return;  // no temperament to describe: the labels keep their texts
    }
    for (int note = 0; note < 12; ++note) {
        SetNoteLabel(note, FormatTableValue(mode, TableValue(*t, mode, note, m_dStandardA)));
    }
}

void CKlavoraView::BuildCentsTable() {
    BuildTable(kDisplayCents);
}

void CKlavoraView::BuildDeviationsTable() {
    BuildTable(kDisplayDeviations);
}

void CKlavoraView::BuildMinorThirdsTable() {
    BuildTable(kDisplayMinorThirds);
}

void CKlavoraView::BuildMajorThirdsTable() {
    BuildTable(kDisplayMajorThirds);
}

void CKlavoraView::BuildFrequencyTable() {
    BuildTable(kDisplayFrequencies);
}
