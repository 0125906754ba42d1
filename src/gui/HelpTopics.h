// SPDX-License-Identifier: GPL-3.0-or-later
// Which page of the help book explains which window and which control: F1
// opens the topic of the control that has the focus, or else of its window.
// Plain data, so that tests can check every topic against the book. Any
// thread.
#pragma once

#include <string>
#include <vector>

// The windows that have help of their own.
enum class HelpWindow { kMain, kEditor, kStandardA, kOptions, kAbout, kScalaImport, kTuningSheet };

// The book's first page, shown by Help Topics.
extern const char* const kHelpContentsTopic;

// The topic ("page.html" or "page.html#section") of a control of a window,
// or null when the control has none of its own.
const char* HelpTopicOfControl(HelpWindow window, int nControlId);
// The topic of a window as a whole.
const char* HelpTopicOfWindow(HelpWindow window);
// Every topic the two functions above can give.
std::vector<std::string> AllHelpTopics();
