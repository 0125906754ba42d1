// SPDX-License-Identifier: GPL-3.0-or-later
// CAccessibilityAdapter hands what CAccessibleForm says about the main form to
// GTK's accessibility layer (ATK), which screen readers read over AT-SPI. The
// drawn controls and the temperament list are plain wx windows that GTK can
// only call unnamed panels: each gets an accessible object of its own with
// the role and name the core gives it, its What's This text as description,
// and the text (and, where it has one, the value) the core computes from the
// view. The adapter announces new readings when the core says so. It also
// names the tool buttons, which show only pictures, after their tooltips.
// User-interface thread only.
#pragma once

#include <map>
#include <memory>

#include <wx/timer.h>

#include "presenter/AccessibleForm.h"

class CKlavoraForm;
class wxStatusBar;
class wxToolBar;
class wxWindow;
typedef struct _AtkObject AtkObject;

class CAccessibilityAdapter {
public:
    explicit CAccessibilityAdapter(CKlavoraForm& form);
    ~CAccessibilityAdapter();
    CAccessibilityAdapter(const CAccessibilityAdapter&) = delete;
    CAccessibilityAdapter& operator=(const CAccessibilityAdapter&) = delete;

    // Describes every control of the form that the core describes; call it
    // once the controls exist and before the window is first shown.
    void AttachAll();
    // Follows the view: tells what changed and announces a new reading.
    void Update();

    // Names each tool button after its tooltip; its prompt becomes the
    // description. Call it once the toolbar is realized.
    static void NameToolButtons(wxToolBar* pBar);
    // Makes the status bar a status bar whose panes' texts are its name and
    // text.
    static void DescribeStatusBar(wxStatusBar* pBar);
    // Ties each field of a dialog to the label before it, as on the dialog
    // templates a static text names the control that follows it: the field
    // takes the label's caption as its name unless it has one.
    static void LabelDialogFields(wxWindow* pDialog);

private:
    // pLabel, if given, is the window whose caption labels the control.
    void Attach(int controlId, wxWindow* pWindow, wxWindow* pLabel);
    void OnTimer(wxTimerEvent& event);

    CKlavoraForm& m_form;
    CAccessibleForm m_core;
    // The accessible objects of the attached controls, by control id
    // (owned by their widgets).
    std::map<int, AtkObject*> m_objects;
    std::map<int, bool> m_enabled;
    // Wakes Update for a reading held back.
    wxTimer m_timer;
};
