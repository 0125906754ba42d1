// SPDX-License-Identifier: GPL-3.0-or-later
// A form for headless tests of the view: it keeps the list, labels, enabled
// controls and focus as a window would, records every message box and answers
// it as the test scripted, places the pointer, runs dialogs through scripts,
// and gives recording canvases to the drawn controls.
#pragma once

#include <strings.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "presenter/IKlavoraForm.h"
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"
#include "sound/WaveLayer.h"
#include "support/RecordingCanvas.h"
#include "support/ScriptedMessages.h"

class CFakeForm : public IKlavoraForm, public CWaveSink {
public:
    using Box = CScriptedHost::Box;

    CFakeForm() {
        for (int id : {IDC_BANNER, IDC_CENTS_PANEL, IDC_NOTE_PANEL, IDC_HERTZ_PANEL}) {
            m_canvases[id] = CRecordingCanvas(Rect{0, 0, 250, 36});
        }
        m_canvases[IDC_BANNER] = CRecordingCanvas(Rect{0, 0, 710, 50});
        m_canvases[IDC_CYCLE_OF_FIFTHS] = CRecordingCanvas(Rect{0, 0, 304, 304});
    }

    // The view whose handlers receive the sound completions.
    CKlavoraView* m_pView = nullptr;

    // ---- list ----
    int ListAddString(const std::string& text) override {
        auto it = std::upper_bound(m_list.begin(), m_list.end(), text, Less);
        const int index = static_cast<int>(it - m_list.begin());
        m_list.insert(it, text);
        if (m_nSel >= index) {
            ++m_nSel;
        }
        return index;
    }
    void ListAddStrings(const std::vector<std::string>& texts) override {
        ++m_nBulkFills;
        const std::string selected = ListGetText(m_nSel);
        const std::size_t before = m_list.size();
        std::vector<std::string> added(texts);
        std::stable_sort(added.begin(), added.end(), Less);
        m_list.insert(m_list.end(), added.begin(), added.end());
        std::inplace_merge(m_list.begin(), m_list.begin() + static_cast<long>(before), m_list.end(),
                           Less);
        if (m_nSel >= 0) {
            // The entry selected before stays selected; it is the first of
            // its equals, as ListAddString places new entries after them.
            const auto it = std::lower_bound(m_list.begin(), m_list.end(), selected, Less);
            m_nSel = static_cast<int>(std::find(it, m_list.end(), selected) - m_list.begin());
        }
    }
    int ListFindStringExact(const std::string& text) const override {
        for (std::size_t i = 0; i < m_list.size(); ++i) {
            if (strcasecmp(m_list[i].c_str(), text.c_str()) == 0) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    int ListGetCurSel() const override { return m_nSel; }
    bool ListSetCurSel(int index) override {
        const bool ok = index >= 0 && index < ListGetCount();
        m_nSel = ok ? index : -1;
        return ok;
    }
    std::string ListGetText(int index) const override {
        return (index >= 0 && index < ListGetCount()) ? m_list[index] : std::string();
    }
    bool ListDeleteString(int index) override {
        if (index < 0 || index >= ListGetCount()) {
            return false;
        }
        m_list.erase(m_list.begin() + index);
        if (m_nSel == index) {
            m_nSel = -1;
        } else if (m_nSel > index) {
            --m_nSel;
        }
        return true;
    }
    int ListGetCount() const override { return static_cast<int>(m_list.size()); }

    // ---- controls ----
    void SetLabelText(int id, const std::string& text) override { m_labels[id] = text; }
    void EnableControl(int id, bool enable) override { m_enabled[id] = enable; }
    void SetFocus(int id) override { m_nFocus = id; }
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override {
        return m_messages.MessageBox(text, caption, type);
    }
    void GetPointerPosition(int id, int& x, int& y) const override {
        const auto it = m_pointer.find(id);
        x = it != m_pointer.end() ? it->second.first : -1000;
        y = it != m_pointer.end() ? it->second.second : -1000;
    }
    void GetControlSize(int id, int& width, int& height) const override {
        width = id == IDC_KEYBOARD ? 274 : 304;
        height = id == IDC_KEYBOARD ? 138 : 304;
    }

    // ---- dialogs ----
    int RunTemperamentEditor(CTemperamentDlg& dlg) override {
        ++m_nEditorRuns;
        return m_editor ? m_editor(dlg) : IDCANCEL;
    }
    int RunStandardADialog(CStandardADlg& dlg) override {
        return m_standardA ? m_standardA(dlg) : IDCANCEL;
    }
    int RunOptionsDialog(COptionsDlg& dlg) override {
        return m_options ? m_options(dlg) : IDCANCEL;
    }

    ICanvas* GetCanvas(int id) override {
        auto it = m_canvases.find(id);
        return it != m_canvases.end() ? &it->second : nullptr;
    }
    CWaveSink* GetWaveReceiver() override { return this; }
    void OnWaveMessage(unsigned int message, WAVEHDR* pHeader) override {
        if (m_pView != nullptr) {
            m_pView->OnWaveMessage(message, pHeader);
        }
    }
    bool OnWaveMessageQuietly(unsigned int message, WAVEHDR* pHeader) override {
        return m_pView == nullptr || m_pView->OnWaveMessageQuietly(message, pHeader);
    }

    // ---- what the test sets and reads ----
    // Places the pointer over a control, in its client coordinates.
    void PointAt(int id, int x, int y) { m_pointer[id] = {x, y}; }
    void Answer(int answer) { m_messages.m_answers.push_back(answer); }
    std::string Label(int id) const {
        const auto it = m_labels.find(id);
        return it != m_labels.end() ? it->second : std::string();
    }
    bool Enabled(int id) const {
        const auto it = m_enabled.find(id);
        return it == m_enabled.end() || it->second;
    }
    CRecordingCanvas& Canvas(int id) { return m_canvases[id]; }

    std::vector<std::string> m_list;
    int m_nSel = -1;
    std::map<int, std::string> m_labels;
    std::map<int, bool> m_enabled;
    int m_nFocus = 0;
    CScriptedHost m_messages;
    std::vector<Box>& m_boxes = m_messages.m_boxes;
    std::map<int, std::pair<int, int>> m_pointer;
    std::map<int, CRecordingCanvas> m_canvases;
    std::function<int(CTemperamentDlg&)> m_editor;
    std::function<int(CStandardADlg&)> m_standardA;
    std::function<int(COptionsDlg&)> m_options;
    int m_nEditorRuns = 0;
    int m_nBulkFills = 0;

private:
    static bool Less(const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};
