#include "storetool/TuningSheetDlg.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "sheet/SheetLayout.h"
#include "storetool/WindowFiles.h"

bool CTuningSheetDlg::Follow(const std::string& name, const CTemperament& t, double standardA) {
    const bool same =
        m_temperament.has_value() && name == m_info.name && standardA == m_info.standardA &&
        t.GetArithmetic() == m_temperament->GetArithmetic() &&
        t.GetRotation() == m_temperament->GetRotation() && t.Offsets() == m_temperament->Offsets();
    if (same) {
        return false;
    }
    m_temperament = t;
    m_info.name = name;
    m_info.standardA = standardA;
    m_info.date = MakeSheetDate(std::getenv("SOURCE_DATE_EPOCH"), std::time(nullptr));
    return true;
}

std::string CTuningSheetDlg::Title() const {
    return std::string(kCaption) + (m_info.name.empty() ? "" : ": " + m_info.name);
}

const std::vector<Bearing>& CTuningSheetDlg::Bearings() {
    static const std::vector<Bearing> bearings{Bearing::F3toF4, Bearing::C4toC5, Bearing::A3toA4};
    return bearings;
}

int CTuningSheetDlg::BearingIndex() const {
    const auto& all = Bearings();
    return static_cast<int>(std::find(all.begin(), all.end(), m_info.bearing) - all.begin());
}

void CTuningSheetDlg::SetBearingIndex(int index) {
    if (index >= 0 && index < static_cast<int>(Bearings().size())) {
        m_info.bearing = Bearings()[static_cast<std::size_t>(index)];
    }
}

std::string CTuningSheetDlg::OfferedFileName(SheetFormat format) const {
    return ::OfferedFileName(m_info.name, format == SheetFormat::Pdf ? ".pdf" : ".svg");
}

bool CTuningSheetDlg::Save(const std::string& path, SheetFormat format,
                           std::string& message) const {
    if (!m_temperament) {
        message = "There is no temperament to print.";
        return false;
    }
    std::string bytes;
    std::string why;
    if (!RenderTuningSheet(m_info, *m_temperament, format, bytes, why) ||
        !SaveChosenFile(path, bytes, why)) {
        message = SaveFailureMessage(path, why);
        return false;
    }
    return true;
}

double CTuningSheetDlg::PageWidth() {
    return A4SheetGeometry().pageWidth;
}

double CTuningSheetDlg::PageHeight() {
    return A4SheetGeometry().pageHeight;
}

void CTuningSheetDlg::PaintFitted(cairo_t* pContext, double width, double height) const {
    if (!m_temperament || width <= 0 || height <= 0) {
        return;
    }
    const double scale = std::min(width / PageWidth(), height / PageHeight());
    cairo_save(pContext);
    cairo_translate(pContext, (width - PageWidth() * scale) / 2,
                    (height - PageHeight() * scale) / 2);
    cairo_scale(pContext, scale, scale);
    cairo_rectangle(pContext, 0, 0, PageWidth(), PageHeight());
    cairo_clip(pContext);
    PaintTuningSheet(pContext, m_info, *m_temperament);
    cairo_restore(pContext);
}
