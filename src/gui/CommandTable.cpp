#include "gui/CommandTable.h"

#include <wx/accel.h>
#include <wx/defs.h>

#include "presenter/ViewIds.h"

const std::vector<SCommandInfo>& CommandTable() {
    // clang-format off
    static const std::vector<SCommandInfo> table{
        {ID_OPTIONS, "&File", "&Options...", "Set options for Klavora\nKlavora options", true, false},
        {ID_APP_EXIT, "&File", "E&xit", "Quit the application\nExit", false, false},
        {ID_ROTATE_RIGHT, "&Temperament", "Rotate Cycle of Fifths &Right",
         "Shifts the cycle of fifths to the right\nShift Right", false, false},
        {ID_ROTATE_LEFT, "&Temperament", "&Rotate Cycle of Fifths &Left",
         "Shifts the cycle of fifths to the left\nShift Left", false, false},
        {ID_NEW_TEMPERAMENT, "&Temperament", "&New Temperament...\tCtrl+N",
         "Create a new temperament\nNew temperament", false, false},
        {ID_EDIT_TEMPERAMENT, "&Temperament", "&Edit Temperament...\tCtrl+E",
         "Edit the current temperament\nEdit temperament", true, false},
        {ID_DELETE_TEMPERAMENT, "&Temperament", "&Delete Temperament\tCtrl+D",
         "Delete the current temperament\nDelete temperament", true, false},
        {ID_EXACT_TEMPERAMENTS, "&Temperament", "E&xact Temperaments",
         "Reads the fifths as exact parts of the Pythagorean comma from a pure 3:2 fifth\n"
         "Exact temperaments", true, true},
        {ID_IMPORT_SCALA, "&Temperament", "&Import Scala File...",
         "Adds a temperament from a Scala scale file\nImport Scala file", false, false},
        {ID_EXPORT_SCALA, "&Temperament", "Ex&port Scala File...",
         "Writes the current temperament as a Scala scale file\nExport Scala file", false, false},
        {ID_TUNING_SHEET, "&Temperament", "Tuning &Sheet...",
         "Shows the tuning sheet of the current temperament, to save or print\nTuning sheet",
         false, false},
        {ID_TUNE_MICROPHONE, "T&uner", "Tune with &Microphone\tCtrl+M",
         "Lets you tune using a microphone\nTune with microphone", false, true},
        {ID_PLAY_NOTES, "T&uner", "&Play Notes\tCtrl+P", "Plays notes for you to tune to\nPlay notes",
         true, true},
        {ID_PLAY_SINGLE, "T&uner", "&Single Notes\tCtrl+1", "Plays a single note\nSingle note", false,
         true},
        {ID_PLAY_MINOR_THIRDS, "T&uner", "Mi&nor Thirds\tCtrl+2", "Plays minor thirds\nMinor third",
         false, true},
        {ID_PLAY_MAJOR_THIRDS, "T&uner", "M&ajor Thirds\tCtrl+3",
         "Plays major thirds from the current note\nMajor third", false, true},
        {ID_PLAY_FOURTHS, "T&uner", "Perfect F&ourths\tCtrl+4", "Plays perfect fourths\nPerfect fourth",
         false, true},
        {ID_PLAY_FIFTHS, "T&uner", "Perfect &Fifths\tCtrl+5", "Plays perfect fifths\nPerfect fifth",
         false, true},
        {ID_PLAY_MINOR_TRIADS, "T&uner", "Minor Tria&ds\tCtrl+6", "Plays minor triads\nMinor triad",
         false, true},
        {ID_PLAY_MAJOR_TRIADS, "T&uner", "Major &Triads\tCtrl+7", "Plays major triads\nMajor triad",
         true, true},
        {ID_OCTAVE_HIGHER, "T&uner", "Octave &Higher\tCtrl+H", "Play an octave higher\nOctave higher",
         false, false},
        {ID_OCTAVE_LOWER, "T&uner", "Octave &Lower\tCtrl+L", "Play an octave lower\nOctave lower", true,
         false},
        {ID_FINE_TUNER, "T&uner", "Fine T&uner...",
         "Opens a precise tuner for one string at a time\nFine tuner", false, false},
        {ID_VIEW_TOOLBAR, "&View", "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", false, true},
        {ID_VIEW_STATUS_BAR, "&View", "&Status Bar", "Show or hide the status bar\nToggle StatusBar",
         true, true},
        {ID_VIEW_CENTS, "&View", "&Cents from Beginning of Scale",
         "Displays cents from beginning of the scale\nCents", false, true},
        {ID_VIEW_DEVIATIONS, "&View", "Deviations from &Equal Temperament (cents)",
         "Displays deviations from equal temperament in cents\nDeviations (cents)", false, true},
        {ID_VIEW_MINOR_THIRDS, "&View", "Mi&nor Thirds Above Notes (cents)",
         "Displays minor thirds above each note in cents\nMinor Thirds (cents)", false, true},
        {ID_VIEW_MAJOR_THIRDS, "&View", "Ma&jor Thirds Above Notes (cents)",
         "Displays major thirds above each note in cents\nMajor Thirds (cents)", false, true},
        {ID_VIEW_FREQUENCIES, "&View", "&Frequencies from Standard A (Hz)",
         "Displays freqencies for the notes in the Standard A octave\nFrequencies (Hz)", false, true},
        {ID_HELP_FINDER, "&Help", "&Help Topics\tF1", "List Help topics\nHelp Topics", false, false},
        {ID_CONTEXT_HELP, "&Help", "What's &This?\tShift_F1",
         "Display help for clicked on buttons, menus and windows\nHelp", true, false},
        {ID_APP_ABOUT, "&Help", "&About Klavora...",
         "Display program information, version number and copyright\nAbout", false, false},
    };
    // clang-format on
    return table;
}

const SCommandInfo* FindCommand(int nId) {
    for (const SCommandInfo& info : CommandTable()) {
        if (info.nId == nId) {
            return &info;
        }
    }
    return nullptr;
}

std::string CommandPrompt(int nId) {
    const SCommandInfo* info = FindCommand(nId);
    if (info == nullptr) {
        return std::string();
    }
    const std::string text = info->pszPrompt;
    return text.substr(0, text.find('\n'));
}

std::string CommandTooltip(int nId) {
    const SCommandInfo* info = FindCommand(nId);
    if (info == nullptr) {
        return std::string();
    }
    const std::string text = info->pszPrompt;
    const std::size_t pos = text.find('\n');
    return pos == std::string::npos ? std::string() : text.substr(pos + 1);
}

const std::vector<SAccelInfo>& AcceleratorTable() {
    static const std::vector<SAccelInfo> table{
        {wxACCEL_CTRL, '1', ID_PLAY_SINGLE},       {wxACCEL_CTRL, '2', ID_PLAY_MINOR_THIRDS},
        {wxACCEL_CTRL, '3', ID_PLAY_MAJOR_THIRDS}, {wxACCEL_CTRL, '4', ID_PLAY_FOURTHS},
        {wxACCEL_CTRL, '5', ID_PLAY_FIFTHS},       {wxACCEL_CTRL, '6', ID_PLAY_MINOR_TRIADS},
        {wxACCEL_CTRL, '7', ID_PLAY_MAJOR_TRIADS}, {wxACCEL_CTRL, 'H', ID_OCTAVE_HIGHER},
        {wxACCEL_CTRL, 'L', ID_OCTAVE_LOWER},      {wxACCEL_CTRL, 'M', ID_TUNE_MICROPHONE},
        {wxACCEL_CTRL, 'P', ID_PLAY_NOTES},        {wxACCEL_NORMAL, WXK_F1, ID_HELP},
        {wxACCEL_SHIFT, WXK_F1, ID_CONTEXT_HELP},
    };
    return table;
}

bool ShowsShortcutOnly(int nId) {
    const SCommandInfo* info = FindCommand(nId);
    if (info == nullptr || std::string(info->pszText).find('\t') == std::string::npos) {
        return false;
    }
    for (const SAccelInfo& accel : AcceleratorTable()) {
        if (accel.nCommand == nId) {
            return false;
        }
    }
    return true;
}
