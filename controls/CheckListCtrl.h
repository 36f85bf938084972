// A report list whose rows carry a check box as the first column's image
// (0 clear, 1 ticked): a click on the box, or Space on the focused row,
// toggles it. What a tick means, and where it is kept, is the subclass's.
#pragma once

#include "controls/TipListCtrl.h"

class CCheckListCtrl : public CTipListCtrl {
public:
    CCheckListCtrl(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size, long nStyle);

protected:
    // Ticks or clears one row, as a click on its box does.
    virtual void ToggleRow(int nRow) = 0;
    // The row Space acts on, -1 for none: the focused row, else the selected one.
    virtual int GetKeyRow() const;

    void OnRowsLeftDown(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);

private:
    wxDECLARE_EVENT_TABLE();
};
