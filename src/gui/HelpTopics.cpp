#include "gui/HelpTopics.h"

#include <algorithm>

#include "presenter/ViewIds.h"

namespace {

struct STopic {
    HelpWindow window;
    int nFirstId;
    int nLastId;
    const char* pszTopic;
};

// Control ids repeat between windows (1040 is a table label of the form and
// the remaining comma of the editor), so each entry names its window.
const STopic kTopics[] = {
    {HelpWindow::kMain, IDC_TEMPERAMENTS, IDC_TEMPERAMENTS, "temperaments.html"},
    {HelpWindow::kMain, IDC_CHANGE_STANDARD_A, IDC_CHANGE_STANDARD_A, "standard-a.html"},
    {HelpWindow::kMain, IDC_STANDARD_A, IDC_STANDARD_A, "standard-a.html"},
    {HelpWindow::kMain, IDC_KEYBOARD, IDC_KEYBOARD, "main-window.html#keyboard"},
    {HelpWindow::kMain, IDC_CYCLE_OF_FIFTHS, IDC_CYCLE_OF_FIFTHS, "circle.html"},
    // The meter and the panels are first in the form's focus order, so they
    // have the focus before anything was chosen; they lead to the window's
    // own page, whose first parts they are.
    {HelpWindow::kMain, IDC_BANNER, IDC_BANNER, "main-window.html"},
    {HelpWindow::kMain, IDC_CENTS_PANEL, IDC_HERTZ_PANEL, "main-window.html#panels"},
    {HelpWindow::kMain, IDC_NOTE_PANEL, IDC_NOTE_PANEL, "main-window.html#panels"},
    {HelpWindow::kMain, IDC_DISPLAY_TITLE, IDC_DISPLAY_TITLE, "tables.html"},
    {HelpWindow::kMain, IDC_LABEL_C, IDC_LABEL_C, "tables.html"},
    {HelpWindow::kMain, IDC_LABEL_D, IDC_LABEL_AS, "tables.html"},

    {HelpWindow::kEditor, 1025, 1025, "editor.html#name"},
    {HelpWindow::kEditor, 1026, 1037, "editor.html#offsets"},
    {HelpWindow::kEditor, 1040, 1040, "editor.html#comma"},
    {HelpWindow::kEditor, 1038, 1038, "editor.html#save"},

    {HelpWindow::kStandardA, 1086, 1086, "standard-a.html#change"},

    {HelpWindow::kOptions, 1056, 1056, "options.html#defaults"},
    {HelpWindow::kOptions, 1043, 1044, "options.html#rate"},
    {HelpWindow::kOptions, 1042, 1042, "options.html#devices"},
    {HelpWindow::kOptions, 1045, 1045, "options.html#devices"},
    {HelpWindow::kOptions, 1047, 1048, "options.html#buffers"},
    {HelpWindow::kOptions, 1050, 1052, "options.html#buffers"},
};

}  // namespace

const char* const kHelpContentsTopic = "index.html";

const char* HelpTopicOfControl(HelpWindow window, int nControlId) {
    for (const STopic& topic : kTopics) {
        if (topic.window == window && nControlId >= topic.nFirstId && nControlId <= topic.nLastId) {
            return topic.pszTopic;
        }
    }
    return nullptr;
}

const char* HelpTopicOfWindow(HelpWindow window) {
    switch (window) {
        case HelpWindow::kMain:
            return "main-window.html";
        case HelpWindow::kEditor:
            return "editor.html";
        case HelpWindow::kStandardA:
            return "standard-a.html#change";
        case HelpWindow::kOptions:
            return "options.html";
        case HelpWindow::kAbout:
            return kHelpContentsTopic;
        case HelpWindow::kScalaImport:
            return "temperaments.html#scala";
        case HelpWindow::kTuningSheet:
            return "temperaments.html#sheet";
    }
    return kHelpContentsTopic;
}

std::vector<std::string> AllHelpTopics() {
    std::vector<std::string> topics{kHelpContentsTopic};
    for (const STopic& topic : kTopics) {
        topics.emplace_back(topic.pszTopic);
    }
    for (HelpWindow window :
         {HelpWindow::kMain, HelpWindow::kEditor, HelpWindow::kStandardA, HelpWindow::kOptions,
          HelpWindow::kAbout, HelpWindow::kScalaImport, HelpWindow::kTuningSheet}) {
        topics.emplace_back(HelpTopicOfWindow(window));
    }
    std::sort(topics.begin(), topics.end());
    topics.erase(std::unique(topics.begin(), topics.end()), topics.end());
    return topics;
}
