// SPDX-License-Identifier: GPL-3.0-or-later
// Identifiers of the form's controls and of the program's commands. Shared by the view and the
// window layer so that both speak of the same controls.
#pragma once

// Controls of the main form.
enum ControlId {
    IDC_NOTE_PANEL = 100,  // note-name panel
    IDC_BANNER = 1000,     // banner picture with the cents meter
    IDC_CENTS_PANEL = 1005,
    IDC_HERTZ_PANEL = 1006,
    IDC_CYCLE_OF_FIFTHS = 1008,
    IDC_TEMPERAMENTS = 1011,  // sorted drop-down list of temperament names
    // The group box "Select a Temperament" around the list.
    IDC_TEMPERAMENT_GROUP = 1015,
    IDC_CHANGE_STANDARD_A = 1016,
    IDC_KEYBOARD = 1019,       // one-octave keyboard picture
    IDC_STANDARD_A = 1020,     // the Standard A line
    IDC_DISPLAY_TITLE = 1023,  // caption of the table under the keys
    // Table labels, by note (see NoteLabelId).
    IDC_LABEL_C = 1018,
    IDC_LABEL_D = 1029,
    IDC_LABEL_E = 1030,
    IDC_LABEL_F = 1031,
    IDC_LABEL_G = 1033,
    IDC_LABEL_A = 1034,
    IDC_LABEL_B = 1035,
    IDC_LABEL_CS = 1036,
    IDC_LABEL_DS = 1037,
    IDC_LABEL_FS = 1038,
    IDC_LABEL_GS = 1039,
    IDC_LABEL_AS = 1040,
};

// The label under (or over) a note's key, 0..11; 0 for any other note.
int NoteLabelId(int note);

// Commands of menus, accelerators and toolbar.
enum CommandId {
    ID_NEW_TEMPERAMENT = 32771,
    ID_EDIT_TEMPERAMENT = 32773,
    ID_DELETE_TEMPERAMENT = 32774,
    ID_OPTIONS = 32775,
    ID_PLAY_NOTES = 32779,
    ID_TUNE_MICROPHONE = 32780,
    ID_VIEW_CENTS = 32782,
    ID_VIEW_DEVIATIONS = 32783,
    ID_VIEW_MINOR_THIRDS = 32784,
    ID_VIEW_MAJOR_THIRDS = 32785,
    ID_VIEW_FREQUENCIES = 32786,
    ID_PLAY_SINGLE = 32804,
    ID_PLAY_MAJOR_THIRDS = 32805,
    ID_PLAY_MAJOR_TRIADS = 32806,
    ID_PLAY_MINOR_THIRDS = 32808,
    ID_PLAY_MINOR_TRIADS = 32809,
    ID_PLAY_FIFTHS = 32811,
    ID_PLAY_FOURTHS = 32812,
    ID_OCTAVE_HIGHER = 32818,
    ID_OCTAVE_LOWER = 32820,
    ID_ROTATE_LEFT = 32822,
    ID_ROTATE_RIGHT = 32823,
    ID_EXACT_TEMPERAMENTS = 32824,
    ID_TUNER_INDICATOR = 59142,  // status-bar pane
};
