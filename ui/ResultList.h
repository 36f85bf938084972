// The results list: a virtual report list over the scan's rows, so a row
// costs the list nothing until it is on screen. Column 0 carries the row's
// check box as an image from the list's own two check pictures.
#pragma once

#include <wx/imaglist.h>

#include "scan/ResultRows.h"
#include "ui/CheckListCtrl.h"

class CResultList : public CCheckListCtrl, public IResultRowsObserver {
public:
    CResultList(wxWindow* pParent, wxWindowID nId, const wxPoint& pos, const wxSize& size, CResultRows& rows);
    ~CResultList() override;

    // Columns, check pictures; called once by the dialog.
    void InitList();

    void OnRowAdded(int nRow) override;
    void OnRowChanged(int nRow) override;

    // Rows added since the last call become visible; called at the screen's
    // pace while rows pour in, since resizing the list per row costs more
    // than the row.
    void SyncItemCount();

    // Ticks or clears a row's box as a click on it does.
    void ToggleCheck(int nRow) { ToggleRow(nRow); }

protected:
    wxString OnGetItemText(long nItem, long nColumn) const override;
    int OnGetItemImage(long nItem) const override;
    void ToggleRow(int nRow) override;
    int GetKeyRow() const override { return m_rows.GetFirstSelected(); }
    void OnSelected(wxListEvent& event);
    void OnDeselected(wxListEvent& event);

private:
    CResultRows& m_rows;
    wxImageList m_imageList;
    long m_nShownCount = 0;

    wxDECLARE_EVENT_TABLE();
};
