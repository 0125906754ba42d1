#include "gui/TemperamentChoice.h"

CTemperamentChoice::CTemperamentChoice(wxWindow* pParent, wxWindowID id, const wxPoint& pos,
                                       const wxSize& size)
    : wxOwnerDrawnComboBox(pParent, id, wxEmptyString, pos, size, 0, nullptr, wxCB_READONLY) {}

void CTemperamentChoice::SetAll(const wxArrayString& texts) {
    Set(texts);
}
