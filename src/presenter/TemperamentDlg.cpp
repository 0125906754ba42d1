#include "presenter/TemperamentDlg.h"

#include <cmath>

#include "store/TemperamentStore.h"
#include "tuning/NumberFormat.h"
#include "tuning/Temperament.h"
#include "tuning/TemperamentName.h"
#include "tuning/TemperamentSet.h"

namespace {

const char* const kSaveCaption = "Save Temperament";

}  // namespace

CTemperamentDlg::CTemperamentDlg(const std::string& name, CTemperament* pTemperament) {
    if (!name.empty()) {
        m_bEditMode = true;
        m_strName = name;
        m_pTemperament = pTemperament;
        for (int k = 0; k < 12 && pTemperament != nullptr; ++k) {
            m_adOffsets[k] = pTemperament->GetOffset(k);
        }
    }
}

std::string CTemperamentDlg::OnInitDialog() {
    UpdateRemainingComma();
    return m_bEditMode ? "Edit Temperament" : "New Temperament";
}

void CTemperamentDlg::UpdateRemainingComma() {
    double sum = 0.0;
    for (double v : m_adOffsets) {
        sum += v;
    }
    m_dRemainingComma = sum + CTemperament::kComma;
    m_strRemainingComma = FormatFixed(m_dRemainingComma, 2) + " cents";
}

bool CTemperamentDlg::SetOffsetText(int k, const std::string& text) {
    double value = 0.0;
    if (k < 0 || k > 11 || !ScanDialogDouble(text, value)) {
        return false;
    }
    m_adOffsets[k] = value;
    return true;
}

std::string CTemperamentDlg::GetOffsetText(int k) const {
    return (k < 0 || k > 11) ? std::string() : FormatDialogDouble(m_adOffsets[k]);
}

std::string CTemperamentDlg::Question() const {
    const std::string size = FormatStreamDouble(std::fabs(m_dRemainingComma));
    if (m_dRemainingComma > 0) {
        return "You need to temper by " + size +
               " cents more. Are you sure you want to save this temperament?";
    }
    if (m_dRemainingComma < 0) {
        return "You need to temper by " + size +
               " cents less. Are you sure you want to save this temperament?";
    }
    return "Do you want to save your changes to this temperament?";
}

CTemperamentDlg::SaveResult CTemperamentDlg::OnSave(IMessageHost& host) {
    const unsigned question = MB_YESNO | MB_ICONEXCLAMATION;
    if (m_bEditMode) {
        if (host.MessageBox(Question(), kSaveCaption, question) != IDYES) {
            return kStayOpen;
        }
        if (m_pTemperament != nullptr) {
            for (int k = 0; k < 12; ++k) {
                m_pTemperament->SetOffset(k, m_adOffsets[k]);
            }
        }
        WriteTemperament(m_strName, m_adOffsets);
        m_bSaved = true;
        return kClose;
    }
    if (m_strName.empty()) {
        host.MessageBox("Please enter a name for your new temperament", kSaveCaption,
                        MB_OK | MB_ICONEXCLAMATION);
        return kFocusName;
    }
    // A name the store could not give back would hide the temperament, and
    // every one listed after it, at the next start.
    const NameProblem problem = CheckValueName(m_strName);
    if (problem == NameProblem::TooLong || problem == NameProblem::ControlCharacter) {
        host.MessageBox(problem == NameProblem::TooLong
                            ? "The name of a temperament can have at most 254 characters.\r\n"
                              "Please choose a shorter name."
                            : "The name of a temperament cannot contain tabs, line breaks or "
                              "other control characters.\r\nPlease choose a different name.",
                        kSaveCaption, MB_OK | MB_ICONEXCLAMATION);
        return kFocusName;
    }
    const bool asked = m_dRemainingComma != 0.0;
    if (asked && host.MessageBox(Question(), kSaveCaption, question) != IDYES) {
        return kStayOpen;
    }
    if (TemperamentExists(m_strName)) {
        host.MessageBox(
            "A temperament with that name already exists.\r\nPlease choose a "
            "different name.",
            kSaveCaption, MB_OK | MB_ICONEXCLAMATION);
        return kStayOpen;
    }
    if (!asked && host.MessageBox(Question(), kSaveCaption, question) != IDYES) {
        return kStayOpen;
    }
    WriteTemperament(m_strName, m_adOffsets);
    m_bSaved = true;
    return kClose;
}

bool CTemperamentDlg::GetResult(std::string& name, std::string& text) const {
    name = m_strName;
    text = FormatTemperamentText(m_adOffsets);
    return m_bSaved && !name.empty() && !text.empty();
}
