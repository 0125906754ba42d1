// SPDX-License-Identifier: GPL-3.0-or-later
// COptionsWindow is the window of the audio options: "Use Default Settings",
// the two sampling rates, the recording and playback device lists, the
// number of buffers and the buffer size with their arrows, and the duration
// of one buffer. The logic (COptionsDlg) holds and changes the values; this
// window shows them and enables the controls as the logic says.
// User-interface thread only.
#pragma once

#include <wx/dialog.h>

class COptionsDlg;
class CUpDownButton;
class wxCheckBox;
class wxChoice;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

class COptionsWindow : public wxDialog {
public:
    COptionsWindow(wxWindow* pParent, COptionsDlg& dlg);

    wxCheckBox* UseDefaults() const { return m_pUseDefaults; }
    wxRadioButton* Rate44100() const { return m_pRate44100; }
    wxRadioButton* Rate22050() const { return m_pRate22050; }
    wxChoice* RecordingList() const { return m_pRecording; }
    wxChoice* PlaybackList() const { return m_pPlayback; }
    wxTextCtrl* BufferCount() const { return m_pBufferCount; }
    wxTextCtrl* BufferSize() const { return m_pBufferSize; }
    CUpDownButton* BufferCountArrows() const { return m_pCountArrows; }
    CUpDownButton* BufferSizeArrows() const { return m_pSizeArrows; }
    wxStaticText* Duration() const { return m_pDuration; }

    // The OK button: the selected devices go to the logic.
    void Accept();

private:
    void CreateControls();
    // Shows the logic's values and enables the controls it allows.
    void FillControls();

    COptionsDlg& m_dlg;
    wxCheckBox* m_pUseDefaults = nullptr;
    wxRadioButton* m_pRate44100 = nullptr;
    wxRadioButton* m_pRate22050 = nullptr;
    wxChoice* m_pRecording = nullptr;
    wxChoice* m_pPlayback = nullptr;
    wxTextCtrl* m_pBufferCount = nullptr;
    wxTextCtrl* m_pBufferSize = nullptr;
    CUpDownButton* m_pCountArrows = nullptr;
    CUpDownButton* m_pSizeArrows = nullptr;
    wxStaticText* m_pDuration = nullptr;
};
