// The results list: a virtual report list over the scan's rows, so a row
// costs the list nothing until it is on screen. Column 0 carries the row's
// check box as an image from the list's own two check pictures. A click on
// another column's header orders the list by it; the rows themselves keep
// the scan's order (their numbers and every road that acts on them).
#pragma once

#include <vector>

#include <wx/imaglist.h>

#include "controls/ListText.h"
#include "scan/ResultRows.h"
#include "ui/CheckListCtrl.h"

class CResultList : public CCheckListCtrl, public IResultRowsObserver {
public:
    enum { PATH_COLUMN_WIDTH = 170 };

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
    void ToggleCheck(int nRow) { m_rows.SetCheck(nRow, !m_rows.GetCheck(nRow)); }

    // A click on the header of a column other than "Num": sorted by it, then
    // reversed, then back in the scan's order. The selected rows stay selected.
    void SortByColumn(int nCol);
    const CListSort& GetSort() const { return m_sort; }
    // The row shown at a list position and back.
    int RowOfItem(long nItem) const;
    long ItemOfRow(int nRow) const;

    // The window grew this much wider than its template: the file name
    // column takes the room.
    void FollowGrowth(int nGrowX);

protected:
    wxString OnGetItemText(long nItem, long nColumn) const override;
    int OnGetItemImage(long nItem) const override;
    wxString GetFullCellText(long nItem, long nColumn) const override;
    void ToggleRow(int nItem) override;
    int GetKeyRow() const override { return static_cast<int>(ItemOfRow(m_rows.GetFirstSelected())); }
    void OnSelected(wxListEvent& event);
    void OnDeselected(wxListEvent& event);

private:
    CResultRows& m_rows;
    wxImageList m_imageList;
    long m_nShownCount = 0;
    CListSort m_sort;
    // Empty while the list shows the scan's order; else the row at each
    // position, and each row's position.
    std::vector<int> m_arOrder;
    std::vector<long> m_arItemOfRow;

    wxDECLARE_EVENT_TABLE();
};
