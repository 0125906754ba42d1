#include "gui/TemperamentFiles.h"

#include <wx/dialog.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>

#include "gui/CommandTable.h"
#include "gui/KlavoraForm.h"
#include "gui/MainFrame.h"
#include "gui/ScalaImportWindow.h"
#include "gui/TuningSheetWindow.h"
#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"
#include "storetool/ScalaImportDlg.h"
#include "storetool/WindowFiles.h"
#include "tuning/TemperamentSet.h"

namespace {

const char* const kScalaFilter = "Scala files (*.scl)|*.scl;*.SCL";
const char* const kExportCaption = "Export Scala File";
// How often a waiting file tries again while a dialog is open.
constexpr int kRetryMs = 300;

// Files dropped on the window are imported once the drop has finished.
class CScalaDropTarget : public wxFileDropTarget {
public:
    explicit CScalaDropTarget(CTemperamentFiles& files) : m_files(files) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
        for (const wxString& name : names) {
            m_files.OpenLater(std::string(name.utf8_str()));
        }
        return !names.empty();
    }

private:
    CTemperamentFiles& m_files;
};

// Counts the modal dialogs open, the toolkit's own message boxes and file
// choosers among them, which wx's list of windows does not show.
class CModalCount : public wxModalDialogHook {
public:
    CModalCount() { Register(); }
    int Enter(wxDialog*) override {
        ++m_nOpen;
        return wxID_NONE;
    }
    void Exit(wxDialog*) override { --m_nOpen; }
    bool AnyOpen() const { return m_nOpen > 0; }

private:
    int m_nOpen = 0;
};

bool ModalDialogOpen() {
    static CModalCount s_count;
    return s_count.AnyOpen();
}

}  // namespace

CTemperamentFiles::CTemperamentFiles(CMainFrame& frame) : m_frame(frame) {
    m_frame.Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ImportWithChooser(); },
        WxIdOfCommand(ID_IMPORT_SCALA));
    m_frame.Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ExportWithChooser(); },
        WxIdOfCommand(ID_EXPORT_SCALA));
    m_frame.Bind(
        wxEVT_MENU, [this](wxCommandEvent&) { ShowSheet(); }, WxIdOfCommand(ID_TUNING_SHEET));
    m_frame.Bind(
        wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Enable(ImportEnabled()); },
        WxIdOfCommand(ID_IMPORT_SCALA));
    for (int id : {ID_EXPORT_SCALA, ID_TUNING_SHEET}) {
        m_frame.Bind(
            wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& event) { event.Enable(Current() != nullptr); },
            WxIdOfCommand(id));
    }
    m_retry.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { TryWaiting(); });
    // Counting from now on, before the start-up's messages show.
    ModalDialogOpen();
    m_frame.SetDropTarget(new CScalaDropTarget(*this));
}

CTemperamentFiles::~CTemperamentFiles() {
    m_retry.Stop();
}

const CTemperament* CTemperamentFiles::Current() const {
    const CKlavoraView* pView = m_frame.GetView();
    if (pView == nullptr || !pView->TemperamentsReady() || pView->GetTemperaments() == nullptr) {
        return nullptr;
    }
    return pView->GetTemperaments()->Find(pView->GetTemperamentName());
}

bool CTemperamentFiles::ImportEnabled() const {
    // Whenever New Temperament is: a Scala file is added as it adds one.
    const CKlavoraView* pView = m_frame.GetView();
    CCmdUI ui(ID_NEW_TEMPERAMENT);
    return pView != nullptr && pView->OnUpdateCommand(&ui) && ui.m_bEnabled;
}

void CTemperamentFiles::OpenLater(const std::string& path) {
    m_waiting.push_back(path);
    m_frame.Raise();
    m_frame.CallAfter([this] { TryWaiting(); });
}

void CTemperamentFiles::TryWaiting() {
    if (m_waiting.empty()) {
        return;
    }
    if (m_bImporting || ModalDialogOpen() || !ImportEnabled()) {
        if (!m_retry.IsRunning()) {
            m_retry.StartOnce(kRetryMs);
        }
        return;
    }
    const std::string path = m_waiting.front();
    m_waiting.pop_front();
    Import(path);
    if (!m_waiting.empty()) {
        m_frame.CallAfter([this] { TryWaiting(); });
    }
}

void CTemperamentFiles::Import(const std::string& path) {
    CKlavoraView* pView = m_frame.GetView();
    if (pView == nullptr || m_bImporting) {
        return;
    }
    m_bImporting = true;
    CKlavoraForm& host = *m_frame.GetForm();
    CScalaImportDlg dlg(pView->Arithmetic());
    if (!dlg.Load(path)) {
        host.MessageBox(dlg.Refusal(), CScalaImportDlg::kCaption, MB_OK | MB_ICONEXCLAMATION);
    } else {
        CScalaImportWindow window(&m_frame, dlg, host);
        if (window.ShowModal() == wxID_OK) {
            pView->AddSavedTemperament(dlg.Editor());
        }
    }
    m_bImporting = false;
}

void CTemperamentFiles::ImportWithChooser() {
    if (!ImportEnabled()) {
        return;
    }
    wxFileDialog chooser(&m_frame, CScalaImportDlg::kCaption, wxString(), wxString(), kScalaFilter,
                         wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (chooser.ShowModal() == wxID_OK) {
        Import(std::string(chooser.GetPath().utf8_str()));
    }
}

void CTemperamentFiles::ExportWithChooser() {
    const CTemperament* t = Current();
    if (t == nullptr) {
        return;
    }
    const std::string name = m_frame.GetView()->GetTemperamentName();
    const std::string text = ScalaExportText(name, *t);
    wxFileDialog chooser(&m_frame, kExportCaption, wxString(),
                         wxString::FromUTF8(OfferedFileName(name, ".scl")), kScalaFilter,
                         wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (chooser.ShowModal() != wxID_OK) {
        return;
    }
    CKlavoraForm& host = *m_frame.GetForm();
    const std::string path =
        ChosenSavePath(std::string(chooser.GetPath().utf8_str()), ".scl", host, kExportCaption);
    std::string why;
    if (!path.empty() && !SaveChosenFile(path, text, why)) {
        host.MessageBox(SaveFailureMessage(path, why), kExportCaption, MB_OK | MB_ICONEXCLAMATION);
    }
}

void CTemperamentFiles::ShowSheet() {
    if (m_pSheet == nullptr) {
        auto source = [this](std::string& name, CTemperament& t, double& standardA) {
            const CTemperament* current = Current();
            if (current == nullptr) {
                return false;
            }
            name = m_frame.GetView()->GetTemperamentName();
            t = *current;
            standardA = m_frame.GetView()->GetStandardA();
            return true;
        };
        m_pSheet = new CTuningSheetWindow(
            &m_frame, source, *m_frame.GetForm(),
            [this](const std::string& topic) { m_frame.GetHelpBook().ShowTopic(topic); });
        m_pSheet->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
            m_pSheet->Destroy();
            m_pSheet = nullptr;
        });
    }
    m_pSheet->Show();
    m_pSheet->Raise();
}
