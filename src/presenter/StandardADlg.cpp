#include "presenter/StandardADlg.h"

#include "tuning/NumberFormat.h"

std::string CStandardADlg::GetText() const {
    return FormatDialogDouble(m_dStandardA);
}

bool CStandardADlg::OnOK(const std::string& text, IMessageHost& host) {
    double value = 0.0;
    if (!ScanDialogDouble(text, value)) {
        host.MessageBox(kEnterNumber, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    // NaN fails both comparisons, so it is refused along with the range.
    if (!(value >= kLowest && value <= kHighest)) {
        host.MessageBox("Please enter a value between 200 and 600 Hz", "Invalid Frequency",
                        MB_OK | MB_ICONINFORMATION);
        return false;
    }
    m_dStandardA = value;
    return true;
}
