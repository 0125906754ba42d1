// SPDX-License-Identifier: GPL-3.0-or-later
// IKlavoraForm is everything the view asks of the main form: the temperament
// list, label texts, enabling and focusing controls, message boxes, the
// pointer position, the modal dialogs, the canvases of the drawn controls and
// the receiver of the sound devices' completions. The wx form implements it;
// tests use a fake that records the calls. User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "presenter/MessageHost.h"

class CTemperamentDlg;
class CStandardADlg;
class COptionsDlg;
class ICanvas;
class CWaveSink;

class IKlavoraForm : public IMessageHost {
public:
    virtual ~IKlavoraForm() = default;

    // The temperament list 1011: a sorted drop-down list. Indices are 0-based;
    // -1 means none. Adding, finding and sorting ignore letter case.
    virtual int ListAddString(const std::string& text) = 0;
    // Adds many entries at once, each placed as ListAddString places it.
    // Forms override it to fill their list in one pass.
    virtual void ListAddStrings(const std::vector<std::string>& texts) {
        for (const std::string& text : texts) {
            ListAddString(text);
        }
    }
    virtual int ListFindStringExact(const std::string& text) const = 0;
    virtual int ListGetCurSel() const = 0;
    // Selects an entry; an index out of range clears the selection and fails.
    virtual bool ListSetCurSel(int index) = 0;
    virtual std::string ListGetText(int index) const = 0;
    virtual bool ListDeleteString(int index) = 0;
    virtual int ListGetCount() const = 0;

    virtual void SetLabelText(int controlId, const std::string& text) = 0;
    virtual void EnableControl(int controlId, bool enable) = 0;
    virtual void SetFocus(int controlId) = 0;
    // MessageBox (from IMessageHost) shows a message box and returns IDOK,
    // IDYES or IDNO.

    // Where the pointer is now, in the client coordinates of a control, and
    // the size of that control's window.
    virtual void GetPointerPosition(int controlId, int& x, int& y) const = 0;
    virtual void GetControlSize(int controlId, int& width, int& height) const = 0;

    // The modal dialogs; each returns IDOK or IDCANCEL.
    virtual int RunTemperamentEditor(CTemperamentDlg& dlg) = 0;
    virtual int RunStandardADialog(CStandardADlg& dlg) = 0;
    virtual int RunOptionsDialog(COptionsDlg& dlg) = 0;

    // The canvas of a drawn control: the banner, the three panels, the circle.
    virtual ICanvas* GetCanvas(int controlId) = 0;

    // Receives MM_WIM_DATA and MM_WOM_DONE of the devices the view opens and
    // passes them to the view's handlers.
    virtual CWaveSink* GetWaveReceiver() = 0;
};
